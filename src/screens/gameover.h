// The end-of-game screen.
#pragma once

// Shows the end-of-game screen until ESC, then zeroes both scores.
void run_game_over();
// One frame of it.
void draw_game_over();
