// What the benchmarks and the timing check share: the library started on a
// virtual X display, the game globals put in a known state, and snakes laid
// along a closed path through every cell of a lattice, so that they can move
// on for ever without meeting anything.
#pragma once

#include <cstdint>

#include "rules/snake.h"

// Starts the library with its X system driver (the real timer needs it),
// 16-bit colour, memory bitmaps for `screen` and `back_buffer`, the built
// snake.dat, and a scratch working folder holding a record file. Prints why
// and returns false when there is no display.
bool start_bench_library(const char *program);

// Puts every global the game reads back to a plain value: no keys, no
// mouse, settings of a new run, both snakes empty, the menu current.
void clear_game_state();

// A game in progress in the given mode (1, 2 or 3): the play screen
// current, the step of that mode, ESC held so that a death, should one
// happen, leaves the end-of-game screen at once.
void enter_play(uint32_t mode);

// True while the game started by enter_play is still running.
bool still_playing();

// The lattice of head positions a snake reaches in a mode: 10-pixel cells,
// 55 x 38 of them, in modes 1 and 3; 5-pixel cells, 110 x 76, in mode 2.
struct Lattice {
    uint32_t step;     // pixels per cell
    uint32_t columns;  // cells across
    uint32_t rows;     // cells down
    uint32_t cells() const { return columns * rows; }
};
Lattice lattice_of_mode(uint32_t mode);

// Builds the closed path for the mode's lattice: along the top row, down
// the field in a serpentine over every column but the first, and back up
// the first column. Every cell once, each next to the one before.
void build_ring(uint32_t mode);

// Cells in the ring built last.
uint32_t ring_length();

// Lays a snake on the ring: its head at ring position `head`, the body on
// the positions before it, the slot past the tail holding the position the
// tail last left. The apple is moved off the field so that no head reaches it.
void lay_on_ring(Snake &snake, uint32_t head, uint32_t length);

// Lays the snakes of the mode on the ring with `length` segments each (one
// snake in mode 1, two in modes 2 and 3), spread so that the free cells are
// shared out between the gaps.
void lay_snakes(uint32_t mode, uint32_t length);

// Sets the directions of the snakes in play to the next cell of the ring,
// as a player steering along it would.
void follow_ring(uint32_t mode);

// The largest length per snake with which the mode's snakes fill the
// lattice but for a cell or two: 2089 in mode 1, 4179 in mode 2, 1044 in mode 3.
uint32_t full_length(uint32_t mode);
