// The game settings the rules play by, changed on the options screen.
#pragma once

#include <cstdint>

enum { MODE_ONE_PLAYER = 1, MODE_TWO_PLAYERS = 2, MODE_VS_COMPUTER = 3 };

extern uint32_t game_mode;
// A step is 10 / step_divisor pixels: 2 in two-player mode, 1 otherwise.
extern uint32_t step_divisor;
// Player 1's colour: its place in the options screen's list, and the
// colour itself. A reset puts the list back on its second colour.
extern uint32_t colour_index;
extern int32_t snake_red;
extern int32_t snake_green;
extern int32_t snake_blue;
// The glow of the options screen's selected values, which every reset
// starts again from dark and rising.
extern uint32_t pulse_level;
extern int32_t pulse_rising;
