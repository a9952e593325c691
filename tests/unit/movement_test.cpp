// Snakes: start rows, steps, steering from held keys, and the level table.
#include "game_fixture.h"

#include "app/main_loop.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "screens/options.h"

using MovementTest = GameTest;

TEST_F(MovementTest, ResetsAlternateStartRowsByTheirCount) {
    reset_snake(player1);
    EXPECT_EQ(player1.head_x, 320u);
    EXPECT_EQ(player1.head_y, 100u);
    reset_snake(player2);
    EXPECT_EQ(player2.head_x, 320u);
    EXPECT_EQ(player2.head_y, 240u);
    // The first one-player death puts player 1 back on row 100, the next on 240.
    reset_snake(player1);
    EXPECT_EQ(player1.head_y, 100u);
    reset_snake(player1);
    EXPECT_EQ(player1.head_y, 240u);
    EXPECT_EQ(reset_count, 4u);
    EXPECT_EQ(player1.x[0], player1.head_x);
    EXPECT_EQ(player1.y[0], player1.head_y);
    EXPECT_EQ(player1.length, 1u);
}

TEST_F(MovementTest, ResetSetsGameStartValuesAndKeepsOldSlotsAndColour) {
    lay_snake(player1, 200, 200, 10, 0, 5);
    p1_direction = 4;
    p2_direction = 7;
    tick_rate = 70;
    level = 5;
    colour_index = 4;
    pulse_level = 120;
    pulse_rising = 0;
    apple_needed = 0;
    snake_red = 128;
    snake_green = 128;
    snake_blue = 128;
    p1_score = 40;
    reset_snake(player2);  // either snake resets the game-wide values
    EXPECT_EQ(p1_direction, 0);
    EXPECT_EQ(p2_direction, 0);
    EXPECT_EQ(tick_rate, 20);
    EXPECT_EQ(level, 0);
    EXPECT_EQ(colour_index, 1u);
    EXPECT_EQ(pulse_level, 0u);
    EXPECT_EQ(pulse_rising, 1);
    EXPECT_EQ(apple_needed, 1);
    EXPECT_EQ(snake_red, 128);  // the colour waits for the options screen
    EXPECT_EQ(p1_score, 40u);   // scores are zeroed by the end-of-game screen
    reset_snake(player1);
    EXPECT_EQ(player1.x[1], 210u);  // only entry 0 is new
    EXPECT_EQ(player1.x[4], 240u);
}

TEST_F(MovementTest, StepShiftsTheBodyAndMovesTheHead) {
    reset_snake(player1);
    step_snake(player1, HEADING_RIGHT);
    EXPECT_EQ(player1.head_x, 330u);
    EXPECT_EQ(player1.x[0], 330u);
    EXPECT_EQ(player1.y[0], 100u);
    EXPECT_EQ(player1.x[1], 320u);  // entry 1 is the previous head
    EXPECT_EQ(player1.y[1], 100u);
    EXPECT_EQ(player1.length, 1u);

    lay_snake(player1, 200, 200, 10, 0, 3);  // heading left, body to the right
    step_snake(player1, HEADING_UP);
    EXPECT_EQ(player1.head_y, 190u);
    EXPECT_EQ(player1.x[0], 200u);
    const uint32_t want_x[] = {200, 200, 210, 220};
    const uint32_t want_y[] = {190, 200, 200, 200};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(player1.x[i], want_x[i]) << i;
        EXPECT_EQ(player1.y[i], want_y[i]) << i;
    }
    step_snake(player1, HEADING_LEFT);
    EXPECT_EQ(player1.head_x, 190u);
    step_snake(player1, HEADING_DOWN);
    EXPECT_EQ(player1.head_y, 200u);
}

TEST_F(MovementTest, TwoPlayerStepIsHalfAndCoordinatesWrapUnsigned) {
    reset_snake(player1);
    step_divisor = 2;
    step_snake(player1, HEADING_RIGHT);
    EXPECT_EQ(player1.head_x, 325u);
    EXPECT_EQ(player1.x[1], 320u);

    step_divisor = 1;
    lay_snake(player1, 0, 5, 0, 0, 1);
    step_snake(player1, HEADING_LEFT);
    EXPECT_EQ(player1.head_x, 4294967286u);
    step_snake(player1, HEADING_UP);
    EXPECT_EQ(player1.head_y, 4294967291u);
}

struct SteeringCase {
    const char *name;
    int keys[2];
    int32_t before;
    int32_t after;
};

class SteeringTable : public GameTest, public ::testing::WithParamInterface<SteeringCase> {};

// Player 1's arrows and player 2's W/A/S/D follow the same table.
TEST_P(SteeringTable, HeldKeysGiveTheDirection) {
    const SteeringCase &c = GetParam();
    auto to_p2_key = [](int k) -> int {
        switch (k) {
        case KEY_UP: return KEY_W;
        case KEY_LEFT: return KEY_A;
        case KEY_DOWN: return KEY_S;
        case KEY_RIGHT: return KEY_D;
        default: return 0;
        }
    };
    // Player 1, standing on the field away from everything.
    lay_snake(player1, 300, 200, 0, 0, 1);
    p1_direction = c.before;
    for (int k : c.keys)
        if (k) key[k] = 1;
    run_tick_player1();
    EXPECT_EQ(p1_direction, c.after);
    for (int k : c.keys)
        if (k) key[k] = 0;

    // Player 2, same keys on the other side of the keyboard.
    lay_snake(player2, 300, 300, 0, 0, 1);
    p1_direction = 0;
    p2_direction = c.before ? c.before + 4 : 0;
    for (int k : c.keys)
        if (k) key[to_p2_key(k)] = 1;
    run_tick_player2();
    EXPECT_EQ(p2_direction, c.after ? c.after + 4 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    KeysHeldTogether, SteeringTable,
    ::testing::Values(
        SteeringCase{"NoKeyKeepsDirection", {0, 0}, 2, 2},
        SteeringCase{"AnyKeyStartsAStandingSnake", {KEY_DOWN, 0}, 0, 3},
        SteeringCase{"OppositeKeyIsIgnored", {KEY_LEFT, 0}, 4, 4},
        SteeringCase{"UpAndLeftReversesRight", {KEY_UP, KEY_LEFT}, 4, 2},
        SteeringCase{"UpAndRightReversesLeft", {KEY_UP, KEY_RIGHT}, 2, 4},
        SteeringCase{"LeftAndDownReversesUp", {KEY_LEFT, KEY_DOWN}, 1, 3},
        SteeringCase{"DownAndRightReversesLeft", {KEY_DOWN, KEY_RIGHT}, 2, 4},
        SteeringCase{"UpAndDownGivesUp", {KEY_UP, KEY_DOWN}, 2, 1},
        SteeringCase{"UpAndDownKeepsDown", {KEY_UP, KEY_DOWN}, 3, 3},
        SteeringCase{"LeftAndRightGivesLeft", {KEY_LEFT, KEY_RIGHT}, 1, 2},
        SteeringCase{"LeftAndRightKeepsRight", {KEY_LEFT, KEY_RIGHT}, 4, 4}),
    [](const ::testing::TestParamInfo<SteeringCase> &info) { return std::string(info.param.name); });

TEST_F(MovementTest, TickStepsBothSnakesBeforeExaminingAndClearsTheAppleFlag) {
    start_playing(MODE_ONE_PLAYER);
    lay_snake(player1, 300, 200, 10, 0, 1);
    lay_snake(player2, 100, 300, 0, 0, 1);
    p1_direction = 0;
    p2_direction = 8;  // player 2 moves in one-player mode too, unseen
    apple_needed = 1;
    run_tick_player1();
    EXPECT_EQ(apple_needed, 0);
    EXPECT_EQ(player1.head_x, 300u);  // direction 0: standing
    EXPECT_EQ(player2.head_x, 110u);
    EXPECT_EQ(menu_active, 0);  // nothing died
}

TEST_F(MovementTest, LevelFollowsPlayerOnesScoreOnly) {
    struct {
        uint32_t score;
        int32_t rate;
        int32_t level;
    } const table[] = {{0, 20, 0},   {99, 20, 0},  {100, 30, 1}, {199, 30, 1}, {200, 35, 2},
                       {250, 35, 2}, {300, 40, 3}, {400, 50, 4}, {499, 50, 4}, {500, 70, 5},
                       {12340, 70, 5}};
    start_playing(MODE_TWO_PLAYERS);
    for (const auto &row : table) {
        tick_rate = 20;
        level = 0;
        lay_snake(player1, 300, 200, 10, 0, 1);
        lay_snake(player2, 300, 300, 10, 0, 1);
        p1_score = row.score;
        p2_score = 990;
        advance_game();
        EXPECT_EQ(tick_rate, row.rate) << row.score;
        EXPECT_EQ(level, row.level) << row.score;
    }
    // Player 2's score never raises the level.
    tick_rate = 20;
    level = 0;
    p1_score = 0;
    p2_score = 600;
    advance_game();
    EXPECT_EQ(level, 0);
    EXPECT_EQ(tick_rate, 20);
}
