#include "rules/apple.h"

#include <cstdlib>
#include <cstring>

#include "rules/snake.h"
#include "rules/settings.h"

uint32_t apple_x = 0;
uint32_t apple_y = 0;
int32_t apple_sprite = 0;
uint32_t prev_apple_x = 0;
uint32_t prev_apple_y = 0;
uint8_t apple_needed = 0;

namespace {
// Apples lie with their top-left corner in 55..589 x 55..419.
constexpr uint32_t APPLE_MIN_X = 55, APPLE_SPAN_X = 535;
constexpr uint32_t APPLE_MIN_Y = 55, APPLE_SPAN_Y = 365;
// Squares (apple and segment alike) are 11 x 11 from their corner, so two of
// them overlap when their corners are at most 10 pixels apart in both axes.
constexpr uint32_t REACH = 10;
constexpr int RANDOM_TRIES = 16;

// Every position a snake can take in the field is a multiple of 5 pixels
// (it starts at 320, 100 or 240 and steps by 5 or 10), so the field is
// kept as a grid of 5-pixel cells, one bit per cell, a row per 128 bits.
constexpr uint32_t CELL = 5;
constexpr int GRID_W = 128;  // 640 / 5
constexpr int GRID_H = 96;   // 480 / 5
using Row = unsigned __int128;
Row occupied[GRID_H];

void mark_cell(uint32_t cx, uint32_t cy) {
    if (cx < GRID_W && cy < GRID_H) occupied[cy] |= Row(1) << cx;
}

// A corner between two lattice points marks both neighbours, so the test
// errs only towards keeping the apple away.
void mark_square(uint32_t sx, uint32_t sy) {
    if (sx >= GRID_W * CELL || sy >= GRID_H * CELL) return;  // can touch no apple
    const uint32_t cx = sx / CELL, cy = sy / CELL;
    mark_cell(cx, cy);
    if (sx % CELL == 0 && sy % CELL == 0) return;
    mark_cell(cx + 1, cy);
    mark_cell(cx, cy + 1);
    mark_cell(cx + 1, cy + 1);
}

void mark_snake(const Snake &snake) {
    const uint32_t n = snake.length < SNAKE_CAPACITY ? snake.length : SNAKE_CAPACITY;
    for (uint32_t i = 0; i < n; i++) mark_square(snake.x[i], snake.y[i]);
}

void build_occupancy() {
    std::memset(occupied, 0, sizeof occupied);
    mark_snake(player1);
    if (game_mode == MODE_TWO_PLAYERS || game_mode == MODE_VS_COMPUTER) mark_snake(player2);
}

Row cell_span(uint32_t first, uint32_t last) {
    const uint32_t width = last - first + 1;
    return ((Row(1) << width) - 1) << first;
}

// True when an apple at (ax, ay) would overlap a drawn square of a snake.
bool square_taken(uint32_t ax, uint32_t ay) {
    const uint32_t c0 = (ax - REACH + CELL - 1) / CELL, c1 = (ax + REACH) / CELL;
    const uint32_t r0 = (ay - REACH + CELL - 1) / CELL, r1 = (ay + REACH) / CELL;
    const Row span = cell_span(c0, c1);
    for (uint32_t r = r0; r <= r1; r++) {
        if (occupied[r] & span) return true;
    }
    return false;
}

// Consecutive apples are more than 20 pixels apart in x. The bounds wrap as
// unsigned values, so the first apple of a run (previous x of 0) is free.
bool near_previous_x(uint32_t ax) { return ax >= prev_apple_x - 20u && ax <= prev_apple_x + 20u; }

uint64_t low_bits(Row r) { return static_cast<uint64_t>(r); }
uint64_t high_bits(Row r) { return static_cast<uint64_t>(r >> 64); }

int lowest_bit(Row r) {
    if (low_bits(r)) return __builtin_ctzll(low_bits(r));
    return 64 + __builtin_ctzll(high_bits(r));
}

// Looks for a free apple position on the 5-pixel lattice, scanning from a
// random cell onwards. Cost: a few operations per grid row.
bool find_free_place(uint32_t *ax, uint32_t *ay) {
    const uint32_t k_min = (APPLE_MIN_X + CELL - 1) / CELL;                 // 11
    const uint32_t k_max = (APPLE_MIN_X + APPLE_SPAN_X - 1) / CELL;         // 117
    const uint32_t m_min = (APPLE_MIN_Y + CELL - 1) / CELL;                 // 11
    const uint32_t m_max = (APPLE_MIN_Y + APPLE_SPAN_Y - 1) / CELL;         // 83

    Row allowed = 0;
    for (uint32_t k = k_min; k <= k_max; k++) {
        if (!near_previous_x(k * CELL)) allowed |= Row(1) << k;
    }
    // A lattice apple at cell k is clear when cells k-2..k+2 of rows
    // m-2..m+2 are empty: widen each row, then OR five rows together.
    Row widened[GRID_H];
    for (int r = 0; r < GRID_H; r++) {
        const Row o = occupied[r];
        widened[r] = o | (o << 1) | (o << 2) | (o >> 1) | (o >> 2);
    }
    const uint32_t rows = m_max - m_min + 1;
    const uint32_t start_row = static_cast<uint32_t>(std::rand()) % rows;
    const uint32_t start_col = k_min + static_cast<uint32_t>(std::rand()) % (k_max - k_min + 1);
    for (uint32_t n = 0; n <= rows; n++) {
        const uint32_t m = m_min + (start_row + n) % rows;
        Row free = allowed;
        for (uint32_t r = m - 2; r <= m + 2; r++) free &= ~widened[r];
        // The first row scanned starts at the random column; its columns
        // before that are scanned last, when the scan comes round again.
        if (n == 0) free &= ~((Row(1) << start_col) - 1);
        if (n == rows) free &= (Row(1) << start_col) - 1;
        if (free) {
            *ax = static_cast<uint32_t>(lowest_bit(free)) * CELL;
            *ay = m * CELL;
            return true;
        }
    }
    return false;
}

uint32_t random_below(uint32_t n) { return static_cast<uint32_t>(std::rand()) % n; }
}  // namespace

void place_apple() {
    apple_sprite = static_cast<int32_t>(random_below(6));
    build_occupancy();

    // Random candidates first; those too near the last apple in x are never
    // taken. When the snakes leave little room, a scan finds what is left,
    // and a full field gets the last candidate that kept the x rule.
    bool have_candidate = false;
    uint32_t x = 0, y = 0;
    bool placed = false;
    for (int tries = 0; !placed && (tries < RANDOM_TRIES || !have_candidate); tries++) {
        const uint32_t cx = random_below(APPLE_SPAN_X) + APPLE_MIN_X;
        const uint32_t cy = random_below(APPLE_SPAN_Y) + APPLE_MIN_Y;
        if (near_previous_x(cx)) continue;
        have_candidate = true;
        x = cx;
        y = cy;
        placed = !square_taken(cx, cy);
    }
    if (!placed) {
        uint32_t fx = 0, fy = 0;
        if (find_free_place(&fx, &fy)) {
            x = fx;
            y = fy;
        }
    }
    apple_x = x;
    apple_y = y;
    prev_apple_x = apple_x;
    prev_apple_y = apple_y;
}
