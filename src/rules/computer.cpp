#include "rules/computer.h"

#include "rules/apple.h"
#include "rules/snake.h"
#include "rules/tick.h"

// Greedy: close the vertical distance first, turning sideways rather than
// reversing when moving away from the apple; once level with it, run at it.
// Every stage sees the direction as the stages before it left it.
void steer_computer() {
    const uint32_t hx = player2.head_x;
    const uint32_t hy = player2.head_y;

    if (apple_y < hy) {
        if (p2_direction != 7)
            p2_direction = 5;
        else if (apple_x < hx)
            p2_direction = 6;
        else if (apple_x > hx)
            p2_direction = 8;
    }
    if (apple_y > hy) {
        if (p2_direction != 5)
            p2_direction = 7;
        else if (apple_x > hx)
            p2_direction = 8;
        else if (apple_x < hx)
            p2_direction = 6;
    }
    if (hy >= apple_y - 8u && hy <= apple_y + 8u) {
        if (apple_x < hx)
            p2_direction = (p2_direction == 8) ? 7 : 6;
        else if (apple_x > hx)
            p2_direction = (p2_direction == 6) ? 5 : 8;
    }
}
