// Eating, the border, a snake's own body, the two snakes against each
// other, the record comparison at the end of a game, and the capacity bound.
#include "game_fixture.h"

#include "app/main_loop.h"
#include "record/record.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "screens/options.h"

class CollisionTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        start_playing(MODE_ONE_PLAYER);
    }
    // True when the game has ended: the end-of-game screen has run (ESC is
    // held) and left the menu current.
    static bool game_ended() { return menu_active == 1 && game_active == 0; }
    // Four segments in a square, heading down: the next step puts the head
    // on the cell the tail leaves, (100, 110).
    static void lay_square_heading_down() {
        const uint32_t xs[] = {100, 110, 110, 100};
        const uint32_t ys[] = {100, 100, 110, 110};
        for (int i = 0; i < 4; i++) {
            player1.x[i] = xs[i];
            player1.y[i] = ys[i];
        }
        player1.head_x = 100;
        player1.head_y = 100;
        player1.length = 4;
        p1_direction = 3;
    }
};

TEST_F(CollisionTest, HeadEatsWithinEightPixelsOfTheAppleCornerInBothAxes) {
    struct {
        uint32_t hx, hy;
        bool eats;
    } const cases[] = {{200, 200, true},  {192, 192, true},  {208, 208, true},  {192, 208, true},
                       {191, 200, false}, {209, 200, false}, {200, 191, false}, {200, 209, false}};
    for (const auto &c : cases) {
        start_playing(MODE_ONE_PLAYER);
        p1_score = 0;
        apple_x = prev_apple_x = 200;
        apple_y = prev_apple_y = 200;
        lay_snake(player1, c.hx, c.hy, 10, 0, 1);
        check_snake(player1);
        EXPECT_EQ(player1.length, c.eats ? 2u : 1u) << c.hx << "," << c.hy;
        EXPECT_EQ(p1_score, c.eats ? 10u : 0u) << c.hx << "," << c.hy;
        // A new apple is placed only after eating.
        EXPECT_EQ(apple_x != 200 || apple_y != 200, c.eats) << c.hx << "," << c.hy;
        EXPECT_FALSE(game_ended());
    }
}

TEST_F(CollisionTest, EatingScoresForTheSnakeThatAte) {
    start_playing(MODE_VS_COMPUTER);
    lay_snake(player1, 100, 100, 10, 0, 1);
    lay_snake(player2, 300, 300, 10, 0, 1);
    apple_x = prev_apple_x = 300;
    apple_y = prev_apple_y = 300;
    check_snake(player2);
    EXPECT_EQ(p2_score, 10u);
    EXPECT_EQ(p1_score, 0u);
    EXPECT_EQ(player2.length, 2u);
    EXPECT_EQ(player1.length, 1u);
}

TEST_F(CollisionTest, BorderKillsAtFortyEightAndSixHundredAndBeyond) {
    struct {
        uint32_t hx, hy;
        bool dies;
    } const cases[] = {{48, 200, true},  {49, 200, false}, {600, 200, true}, {599, 200, false},
                       {300, 48, true},  {300, 49, false}, {300, 430, true}, {300, 429, false},
                       {4294967286u, 200, true}, {300, 4294967291u, true}};
    for (const auto &c : cases) {
        start_playing(MODE_ONE_PLAYER);
        lay_snake(player1, c.hx, c.hy, 0, 7, 1);
        check_snake(player1);
        EXPECT_EQ(game_ended(), c.dies) << c.hx << "," << c.hy;
        if (c.dies) {
            EXPECT_EQ(player1.head_x, 320u);
            EXPECT_EQ(player1.length, 1u);
        }
    }
}

TEST_F(CollisionTest, HeadEnteringTheCellItsTailJustLeftDies) {
    lay_square_heading_down();
    run_tick_player1();
    EXPECT_TRUE(game_ended());
}

TEST_F(CollisionTest, ReversalKillsALongSnakeButNotASingleSquare) {
    lay_snake(player1, 200, 200, -10, 0, 2);  // heading right, body to the left
    p1_direction = 4;
    key[KEY_UP] = key[KEY_LEFT] = 1;
    run_tick_player1();
    EXPECT_TRUE(game_ended());

    start_playing(MODE_ONE_PLAYER);
    lay_snake(player1, 200, 200, -10, 0, 1);
    p1_direction = 4;
    key[KEY_UP] = key[KEY_LEFT] = 1;
    run_tick_player1();
    EXPECT_EQ(p1_direction, 2);
    EXPECT_EQ(player1.head_x, 190u);
    EXPECT_FALSE(game_ended());
}

TEST_F(CollisionTest, StandingSnakeIsComparedWithWhatEarlierGamesLeftInEntryOne) {
    lay_snake(player1, 200, 200, 0, 0, 1);  // entry 1 happens to equal the head
    run_tick_player1();
    EXPECT_TRUE(game_ended());
}

TEST_F(CollisionTest, EatingAndDyingInOneExaminationCountsTheApple) {
    lay_square_heading_down();
    // The apple lies where the head lands.
    apple_x = prev_apple_x = 100;
    apple_y = prev_apple_y = 110;
    write_scores("0");
    run_tick_player1();
    EXPECT_TRUE(game_ended());
    EXPECT_EQ(new_record_flag, 1);
    EXPECT_EQ(read_scores(), "10");
    EXPECT_EQ(p1_score, 0u);  // zeroed on leaving the end-of-game screen
}

TEST_F(CollisionTest, OnePlayerRecordIsBeatenOnlyByAHigherScore) {
    write_scores("10");
    p1_score = 10;
    lay_snake(player1, 48, 200, 10, 0, 1);
    check_snake(player1);
    EXPECT_EQ(new_record_flag, 0);
    EXPECT_EQ(read_scores(), "10");

    start_playing(MODE_ONE_PLAYER);
    p1_score = 20;
    lay_snake(player1, 48, 200, 10, 0, 1);
    check_snake(player1);
    EXPECT_EQ(new_record_flag, 1);
    EXPECT_EQ(read_scores(), "20");

    // The next game that fails to beat it sets the flag back.
    start_playing(MODE_ONE_PLAYER);
    p1_score = 0;
    lay_snake(player1, 48, 200, 10, 0, 1);
    check_snake(player1);
    EXPECT_EQ(new_record_flag, 0);
    EXPECT_EQ(read_scores(), "20");
}

TEST_F(CollisionTest, NegativeRecordIsAnUnbeatableHugeNumber) {
    write_scores("-5");
    p1_score = 4000000000u;
    lay_snake(player1, 48, 200, 10, 0, 1);
    check_snake(player1);
    EXPECT_EQ(new_record_flag, 0);
    EXPECT_EQ(record, 4294967291u);
    EXPECT_EQ(read_scores(), "-5");
}

TEST_F(CollisionTest, ScoreOfZeroWithNoRecordFileWritesNothing) {
    lay_snake(player1, 48, 200, 10, 0, 1);
    check_snake(player1);
    EXPECT_EQ(new_record_flag, 0);
    EXPECT_EQ(read_scores(), "<missing>");
}

TEST_F(CollisionTest, TwoSnakeModesNeverWriteTheRecordButReadIt) {
    for (uint32_t mode : {MODE_TWO_PLAYERS, MODE_VS_COMPUTER}) {
        write_scores("10");
        start_playing(mode);
        new_record_flag = 7;
        record = 0;
        p1_score = 500;
        lay_snake(player1, 48, 200, 10, 0, 1);
        lay_snake(player2, 300, 300, 10, 0, 1);
        check_snake(player1);
        EXPECT_TRUE(game_ended());
        EXPECT_EQ(read_scores(), "10") << mode;
        EXPECT_EQ(new_record_flag, 7) << mode;
        EXPECT_EQ(record, 10u) << mode;  // read before the (skipped) comparison
    }
}

TEST_F(CollisionTest, MeetingSnakesEndTheGameWithoutTouchingTheRecordFile) {
    write_scores("10");
    start_playing(MODE_VS_COMPUTER);
    record = 3;
    p1_score = 500;
    lay_snake(player1, 200, 200, 0, 10, 3);
    lay_snake(player2, 200, 300, 0, 10, 3);
    player2.x[1] = 200;
    player2.y[1] = 220;  // player 2's body crosses player 1's
    check_snakes_cross();
    EXPECT_TRUE(game_ended());
    EXPECT_EQ(record, 3u);  // not read
    EXPECT_EQ(read_scores(), "10");
}

struct MeetingCase {
    const char *name;
    uint32_t mode;
    uint32_t p1x, p2x;  // on row 200, player 1 heading right, player 2 left
    int body;           // each body trails away from the other snake by one step
};

class SnakesMeeting : public CollisionTest, public ::testing::WithParamInterface<MeetingCase> {};

TEST_P(SnakesMeeting, HeadsInOneCellOrSwappingCellsEndTheGame) {
    const MeetingCase &c = GetParam();
    start_playing(c.mode);
    lay_snake(player1, c.p1x, 200, -c.body, 0, 2);
    lay_snake(player2, c.p2x, 200, c.body, 0, 2);
    p1_direction = 4;
    p2_direction = 6;
    advance_game();
    EXPECT_TRUE(game_ended());
    EXPECT_EQ(player1.length, 1u);
    EXPECT_EQ(player2.length, 1u);
    EXPECT_EQ(player1.head_x, 320u);
    EXPECT_EQ(player2.head_x, 320u);
}

INSTANTIATE_TEST_SUITE_P(
    BothModes, SnakesMeeting,
    // Swapping cells is caught because each head lands on the other's
    // entry 1, the segment behind its head.
    ::testing::Values(MeetingCase{"SameCellVsComputer", MODE_VS_COMPUTER, 200, 220, 10},
                      MeetingCase{"SwapVsComputer", MODE_VS_COMPUTER, 200, 210, 10},
                      MeetingCase{"SameCellTwoPlayers", MODE_TWO_PLAYERS, 200, 210, 5},
                      MeetingCase{"SwapTwoPlayers", MODE_TWO_PLAYERS, 200, 205, 5}),
    [](const ::testing::TestParamInfo<MeetingCase> &info) { return std::string(info.param.name); });

TEST_F(CollisionTest, OnePlayerModeNeverComparesTheTwoSnakes) {
    lay_snake(player1, 200, 200, 0, 10, 1);
    lay_snake(player2, 200, 200, 0, -10, 1);
    check_snake(player1);
    EXPECT_FALSE(game_ended());
}

TEST_F(CollisionTest, TwoSnakeDeathResetsPlayerTwoFirst) {
    start_playing(MODE_TWO_PLAYERS);
    lay_snake(player1, 48, 200, 10, 0, 1);
    lay_snake(player2, 300, 300, 10, 0, 1);
    check_snake(player1);
    // reset_count was even before the pair, so player 2 took the odd count.
    EXPECT_EQ(player2.head_y, 100u);
    EXPECT_EQ(player1.head_y, 240u);
    EXPECT_EQ(reset_count, 2u);
}

TEST_F(CollisionTest, PlayerTwoExaminedAfterADeathMayEatAtItsStartPoint) {
    start_playing(MODE_VS_COMPUTER);
    lay_snake(player1, 48, 200, 10, 0, 1);
    lay_snake(player2, 500, 300, 10, 0, 1);
    apple_x = prev_apple_x = 324;
    apple_y = prev_apple_y = 104;
    advance_game();
    EXPECT_TRUE(game_ended());
    EXPECT_EQ(player2.length, 2u);
    EXPECT_EQ(p2_score, 10u);
}

TEST_F(CollisionTest, TwoPlayerDeathInFirstHalfStepLeavesNoAppleNeeded) {
    start_playing(MODE_TWO_PLAYERS);
    lay_snake(player1, 50, 200, 5, 0, 1);
    lay_snake(player2, 300, 300, 5, 0, 1);
    p1_direction = 2;
    run_tick_player1();
    EXPECT_TRUE(game_ended());
    EXPECT_EQ(apple_needed, 1);
    run_tick_player2();
    EXPECT_EQ(apple_needed, 0);
}

TEST_F(CollisionTest, FullSnakeStopsGrowingButStillScores) {
    lay_snake(player1, 300, 200, 10, 0, SNAKE_CAPACITY - 2);
    apple_x = prev_apple_x = 300;
    apple_y = prev_apple_y = 200;
    check_snake(player1);
    EXPECT_EQ(player1.length, SNAKE_CAPACITY - 1);
    EXPECT_EQ(p1_score, 10u);
    apple_x = 300;
    apple_y = 200;
    check_snake(player1);
    EXPECT_EQ(player1.length, SNAKE_CAPACITY - 1);
    EXPECT_EQ(p1_score, 20u);
    // It goes on moving: the step writes the last slot, the self test reads it.
    p1_direction = 1;
    run_tick_player1();
    EXPECT_EQ(player1.head_y, 190u);
    EXPECT_EQ(player1.x[SNAKE_CAPACITY - 1], 300u + 10u * (SNAKE_CAPACITY - 2));
    EXPECT_FALSE(game_ended());
}
