#include "bench_game.h"

#include "game_globals.h"

#include <allegro.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/main_loop.h"
#include "record/record.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/tick.h"
#include "screens/options.h"

namespace {
constexpr uint32_t FIELD_LEFT = 50;  // the smallest head position in both axes
constexpr uint32_t MAX_CELLS = 110 * 76;

Lattice ring_lattice{10, 55, 38};
uint32_t ring_cells[MAX_CELLS];         // ring position -> cell (row * columns + column)
int32_t heading_after[MAX_CELLS];       // cell -> 1 up, 2 left, 3 down, 4 right
uint32_t ring_size = 0;

uint32_t cell_x(uint32_t cell) { return FIELD_LEFT + (cell % ring_lattice.columns) * ring_lattice.step; }
uint32_t cell_y(uint32_t cell) { return FIELD_LEFT + (cell / ring_lattice.columns) * ring_lattice.step; }

uint32_t cell_of(uint32_t x, uint32_t y) {
    return ((y - FIELD_LEFT) / ring_lattice.step) * ring_lattice.columns +
           (x - FIELD_LEFT) / ring_lattice.step;
}

int32_t heading_between(uint32_t from, uint32_t to) {
    const uint32_t w = ring_lattice.columns;
    if (to + w == from) return 1;
    if (to + 1 == from) return 2;
    if (to == from + w) return 3;
    return 4;
}
}  // namespace

bool start_bench_library(const char *program) {
    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0 || !system_driver ||
        system_driver->id == SYSTEM_NONE) {
        std::fprintf(stderr,
                     "The benchmarks need the library's X system driver for its timer: "
                     "run them under a display, e.g. xvfb-run -a %s\n",
                     program);
        return false;
    }
    if (install_timer() != 0) {
        std::fprintf(stderr, "cannot start the library's timer\n");
        return false;
    }
    set_color_depth(16);
    screen = create_bitmap(640, 480);
    back_buffer = create_bitmap(640, 480);
    game_data = load_datafile(SNAKE_DAT_PATH);
    if (!screen || !back_buffer || !game_data) {
        std::fprintf(stderr, "cannot make the bitmaps or load %s\n", SNAKE_DAT_PATH);
        return false;
    }
    // The main loop reads the record file on every pass: give it one of its
    // own, away from any real game's.
    char folder[] = "/tmp/snake-bench-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        return false;
    }
    FILE *f = std::fopen(RECORD_FILE_NAME, "w");
    if (f) {
        std::fputs("1230", f);
        std::fclose(f);
    }
    return true;
}

void clear_game_state() { reset_game_globals(); }

void enter_play(uint32_t mode) {
    game_mode = mode;
    step_divisor = (mode == MODE_TWO_PLAYERS) ? 2 : 1;
    menu_active = 0;
    game_active = 1;
    options_active = 0;
    key[KEY_ESC] = 1;
}

bool still_playing() { return menu_active == 0 && game_active == 1; }

Lattice lattice_of_mode(uint32_t mode) {
    if (mode == MODE_TWO_PLAYERS) return Lattice{5, 110, 76};
    return Lattice{10, 55, 38};
}

void build_ring(uint32_t mode) {
    ring_lattice = lattice_of_mode(mode);
    const uint32_t w = ring_lattice.columns, h = ring_lattice.rows;
    uint32_t n = 0;
    // Rows top to bottom over columns 1..w-1, alternately rightwards and
    // leftwards; with an even number of rows the last one ends at column 1.
    for (uint32_t r = 0; r < h; r++) {
        for (uint32_t k = 1; k < w; k++) {
            const uint32_t c = (r % 2 == 0) ? k : w - k;
            ring_cells[n++] = r * w + c;
        }
    }
    // Then up the first column, back to the top row.
    for (uint32_t r = h; r-- > 0;) ring_cells[n++] = r * w;
    ring_size = n;
    for (uint32_t p = 0; p < n; p++) {
        heading_after[ring_cells[p]] = heading_between(ring_cells[p], ring_cells[(p + 1) % n]);
    }
}

uint32_t ring_length() { return ring_size; }

void lay_on_ring(Snake &snake, uint32_t head, uint32_t length) {
    snake.length = length;
    for (uint32_t i = 0; i <= length && i < SNAKE_CAPACITY; i++) {
        const uint32_t cell = ring_cells[(head + ring_size - i % ring_size) % ring_size];
        snake.x[i] = cell_x(cell);
        snake.y[i] = cell_y(cell);
    }
    snake.head_x = snake.x[0];
    snake.head_y = snake.y[0];
    // Out of every head's reach: apple_x - 8 wraps round.
    apple_x = apple_y = prev_apple_x = prev_apple_y = 0;
}

void lay_snakes(uint32_t mode, uint32_t length) {
    build_ring(mode);
    if (mode == MODE_ONE_PLAYER) {
        lay_on_ring(player1, length - 1, length);
        player2.length = 0;
        return;
    }
    // Player 2 on positions 0..length-1, then a gap, then player 1; player
    // 1's head runs towards player 2's tail round the ring.
    const uint32_t gap = (ring_size - 2 * length) / 2;
    lay_on_ring(player2, length - 1, length);
    lay_on_ring(player1, length + gap + length - 1, length);
}

void follow_ring(uint32_t mode) {
    p1_direction = heading_after[cell_of(player1.head_x, player1.head_y)];
    if (mode != MODE_ONE_PLAYER)
        p2_direction = heading_after[cell_of(player2.head_x, player2.head_y)] + 4;
}

uint32_t full_length(uint32_t mode) {
    const uint32_t cells = lattice_of_mode(mode).cells();
    if (mode == MODE_ONE_PLAYER) return cells - 1;
    return (cells - 2) / 2;
}
