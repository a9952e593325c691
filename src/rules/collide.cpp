#include "rules/collide.h"

#include <algorithm>

#include "record/record.h"
#include "rules/apple.h"
#include "screens/gameover.h"
#include "rules/settings.h"

uint32_t p1_score = 0;
uint32_t p2_score = 0;
int32_t new_record_flag = 0;

static bool two_snakes_in_play() {
    return game_mode == MODE_TWO_PLAYERS || game_mode == MODE_VS_COMPUTER;
}

static bool head_reaches_apple(const Snake &snake) {
    return snake.head_x >= apple_x - 8u && snake.head_x <= apple_x + 8u &&
           snake.head_y >= apple_y - 8u && snake.head_y <= apple_y + 8u;
}

static bool head_outside_field(const Snake &snake) {
    return snake.head_x <= 48 || snake.head_x >= 600 || snake.head_y <= 48 ||
           snake.head_y >= 430;
}

// A death on the border or on a snake's own body.
static void end_game() {
    load_record();
    if (game_mode == MODE_ONE_PLAYER) {
        if (p1_score > record) {
            // Not beaten after all when another game has just saved a higher record.
            new_record_flag = save_record() ? 1 : 0;
        } else {
            new_record_flag = 0;
        }
    }
    if (two_snakes_in_play()) reset_snake(player2);
    reset_snake(player1);
    run_game_over();
}

// Whether the two snakes touch: some drawn segment of player 1 (entries 0
// to length-1) lies exactly where a drawn segment of player 2 lies. Player
// 2's segments are marked in a bit per screen pixel, player 1's are looked
// up there, and the marks are taken off again, so the cost grows with the
// sum of the lengths, not their product. Segments off the screen (a wrapped
// step, stale values) are compared through a sorted list instead.
namespace {
constexpr uint32_t GRID_W = 640;
constexpr uint32_t GRID_H = 480;
uint64_t marked[GRID_W * GRID_H / 64];
uint64_t outside[SNAKE_CAPACITY];

uint32_t drawn_length(const Snake &snake) {
    return snake.length < SNAKE_CAPACITY ? snake.length : SNAKE_CAPACITY;
}

bool on_grid(uint32_t x, uint32_t y) { return x < GRID_W && y < GRID_H; }

uint32_t pixel_index(uint32_t x, uint32_t y) { return y * GRID_W + x; }

uint64_t outside_key(uint32_t x, uint32_t y) { return (uint64_t{x} << 32) | y; }

bool snakes_meet() {
    const uint32_t n2 = drawn_length(player2);
    uint32_t n_outside = 0;
    for (uint32_t j = 0; j < n2; j++) {
        const uint32_t x = player2.x[j], y = player2.y[j];
        if (on_grid(x, y)) {
            const uint32_t p = pixel_index(x, y);
            marked[p / 64] |= uint64_t{1} << (p % 64);
        } else {
            outside[n_outside++] = outside_key(x, y);
        }
    }
    if (n_outside > 1) std::sort(outside, outside + n_outside);

    const uint32_t n1 = drawn_length(player1);
    bool met = false;
    for (uint32_t i = 0; i < n1 && !met; i++) {
        const uint32_t x = player1.x[i], y = player1.y[i];
        if (on_grid(x, y)) {
            const uint32_t p = pixel_index(x, y);
            met = (marked[p / 64] >> (p % 64)) & 1u;
        } else {
            met = n_outside != 0 &&
                  std::binary_search(outside, outside + n_outside, outside_key(x, y));
        }
    }

    // Every bit set above is player 2's, so whole words can be cleared.
    for (uint32_t j = 0; j < n2; j++) {
        const uint32_t x = player2.x[j], y = player2.y[j];
        if (on_grid(x, y)) marked[pixel_index(x, y) / 64] = 0;
    }
    return met;
}
}  // namespace

void check_snake(Snake &snake) {
    if (head_reaches_apple(snake)) {
        // A full snake stops growing (the slot past its tail must stay
        // inside the arrays) but still scores.
        if (snake.length < SNAKE_CAPACITY - 1) snake.length++;
        if (&snake == &player1)
            p1_score += 10;
        else
            p2_score += 10;
        place_apple();
    }

    // The head is compared with entries 1 to length, the slot just past the
    // tail included: a head entering the cell its tail just left dies. The
    // length is read afresh each time, so a reset ends the loop.
    for (uint32_t i = 0; i < snake.length; i++) {
        if (snake.x[0] == snake.x[i + 1] && snake.y[0] == snake.y[i + 1])
            end_game();
        else if (head_outside_field(snake))
            end_game();
    }

    if (two_snakes_in_play()) check_snakes_cross();
}

void check_snakes_cross() {
    // No record comparison when the snakes meet.
    if (snakes_meet()) {
        reset_snake(player2);
        reset_snake(player1);
        run_game_over();
    }
}
