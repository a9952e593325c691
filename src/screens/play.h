// The play screen.
#pragma once

#include <cstdint>

// Draws the border, the status rows, the apple and one snake into back_buffer.
void draw_snake_frame(const uint32_t *x, const uint32_t *y, int red, int green, int blue,
                      uint32_t length);

// One play frame: player 2 first when two snakes are in play, then player 1,
// then the frame is shown.
void draw_play_frame();
