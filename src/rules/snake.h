// The two snakes: their segments, the reset to a start position and one step.
#pragma once

#include <cstdint>

constexpr uint32_t SNAKE_CAPACITY = 10000;

struct Snake {
    uint32_t x[SNAKE_CAPACITY];  // top-left corner of each segment, entry 0 the head
    uint32_t y[SNAKE_CAPACITY];
    uint32_t head_x;
    uint32_t head_y;
    uint32_t length;
};

enum Heading { HEADING_UP, HEADING_LEFT, HEADING_DOWN, HEADING_RIGHT };

extern Snake player1;
extern Snake player2;
// Resets of either snake over the whole run; its parity chooses the start row.
extern uint32_t reset_count;

// Puts the snake at (320, 100 or 240) with length 1 and sets the values
// every new game starts from.
void reset_snake(Snake &snake);
// Moves entries 0 to length-1 one place towards the tail (entry length is written).
void shift_body(Snake &snake);
// One step of 10 / step_divisor pixels in the heading.
void step_snake(Snake &snake, Heading heading);
