// The game tick: steering from the keyboard, movement and levels.
#pragma once

#include <cstdint>

// 0 standing, 1 up, 2 left, 3 down, 4 right.
extern int32_t p1_direction;
// 0 standing, 5 up, 6 left, 7 down, 8 right.
extern int32_t p2_direction;
// Tick timer rate in ticks per second; 20 after a reset.
extern int32_t tick_rate;
// 0 after a reset, 1..5 by player 1's score.
extern int32_t level;

// Steers player 1 from the arrow keys, then advance_game().
void run_tick_player1();
// Steers player 2 from W, A, S, D, then advance_game().
void run_tick_player2();
// Steps both snakes, examines them and sets the level.
void advance_game();
