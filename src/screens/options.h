// The options screen and the settings it changes.
#pragma once

#include <cstdint>

enum { MODE_ONE_PLAYER = 1, MODE_TWO_PLAYERS = 2, MODE_VS_COMPUTER = 3 };

extern uint32_t game_mode;
extern uint32_t step_divisor;
extern int32_t sound_enabled;
extern uint32_t colour_index;
extern int32_t snake_red;
extern int32_t snake_green;
extern int32_t snake_blue;
extern uint32_t pulse_level;
extern int32_t pulse_rising;

// Waits 120 ms, draws and shows one frame, acts on the mouse and ESC.
void draw_options();
