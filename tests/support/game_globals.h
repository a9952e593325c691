// Shared by the tests and the benchmarks: the game's globals put back to
// their values at program start, so each case starts from a known game.
#pragma once

void reset_game_globals();
