#include "rules/snake.h"

#include "rules/apple.h"
#include "rules/tick.h"
#include "rules/settings.h"

Snake player1;
Snake player2;
uint32_t reset_count = 0;

void reset_snake(Snake &snake) {
    reset_count++;
    snake.head_x = 320;
    // Two resets in a row always take consecutive counts, so two snakes
    // reset together start 140 pixels apart in the same column.
    snake.head_y = (reset_count % 2 == 1) ? 100 : 240;
    snake.length = 1;
    snake.x[0] = snake.head_x;
    snake.y[0] = snake.head_y;

    // What every new game starts from, whichever snake is reset.
    tick_rate = 20;
    apple_needed = 1;
    p1_direction = 0;
    p2_direction = 0;
    colour_index = 1;
    level = 0;
    pulse_level = 0;
    pulse_rising = 1;
}

void shift_body(Snake &snake) {
    // From the tail end, so nothing is overwritten before it is copied; the
    // slot just past the tail receives the old tail, which the self test reads.
    for (uint32_t k = snake.length; k >= 1; k--) {
        snake.x[k] = snake.x[k - 1];
        snake.y[k] = snake.y[k - 1];
    }
}

void step_snake(Snake &snake, Heading heading) {
    shift_body(snake);
    const uint32_t step = 10u / step_divisor;
    // Unsigned arithmetic: a step below 0 wraps to a huge value, which the
    // border test treats as outside the field.
    switch (heading) {
    case HEADING_UP:
        snake.y[0] = snake.head_y - step;
        snake.head_y = snake.head_y - step;
        break;
    case HEADING_LEFT:
        snake.x[0] = snake.head_x - step;
        snake.head_x = snake.head_x - step;
        break;
    case HEADING_DOWN:
        snake.y[0] = snake.head_y + step;
        snake.head_y = snake.head_y + step;
        break;
    case HEADING_RIGHT:
        snake.x[0] = snake.head_x + step;
        snake.head_x = snake.head_x + step;
        break;
    }
}
