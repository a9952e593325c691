#include "rules/tick.h"

#include <allegro.h>

#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "rules/settings.h"

int32_t p1_direction = 0;
int32_t p2_direction = 0;
int32_t tick_rate = 20;
int32_t level = 0;

namespace {
struct SteeringKey {
    int scancode;
    int32_t direction;
    int32_t opposite;
};

// Tested in this order, each test seeing what the earlier ones left: two
// keys held together can therefore turn a snake right round in one tick.
const SteeringKey PLAYER1_KEYS[] = {
    {KEY_UP, 1, 3}, {KEY_LEFT, 2, 4}, {KEY_DOWN, 3, 1}, {KEY_RIGHT, 4, 2}};
const SteeringKey PLAYER2_KEYS[] = {
    {KEY_W, 5, 7}, {KEY_A, 6, 8}, {KEY_S, 7, 5}, {KEY_D, 8, 6}};

void steer(const SteeringKey (&keys)[4], int32_t &direction) {
    for (const SteeringKey &k : keys) {
        if (key[k.scancode] && direction != k.opposite) direction = k.direction;
    }
}

struct LevelStep {
    uint32_t score;
    int32_t rate;
    int32_t level;
};
const LevelStep LEVELS[] = {{100, 30, 1}, {200, 35, 2}, {300, 40, 3}, {400, 50, 4}, {500, 70, 5}};
}  // namespace

void run_tick_player1() {
    steer(PLAYER1_KEYS, p1_direction);
    advance_game();
}

void run_tick_player2() {
    steer(PLAYER2_KEYS, p2_direction);
    advance_game();
}

void advance_game() {
    apple_needed = 0;

    // Both snakes move before either is examined, so heads that swap cells
    // are caught. Player 2 moves whenever it has a direction, in any mode.
    if (p1_direction >= 1 && p1_direction <= 4)
        step_snake(player1, static_cast<Heading>(p1_direction - 1));
    if (p2_direction >= 5 && p2_direction <= 8)
        step_snake(player2, static_cast<Heading>(p2_direction - 5));

    check_snake(player1);
    if (game_mode == MODE_TWO_PLAYERS || game_mode == MODE_VS_COMPUTER) check_snake(player2);

    // The level follows player 1's score alone and never goes down in a game.
    const uint32_t score = p1_score;
    for (const LevelStep &step : LEVELS) {
        if (score >= step.score) {
            tick_rate = step.rate;
            level = step.level;
        }
    }
}
