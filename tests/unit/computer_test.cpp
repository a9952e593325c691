// The computer's choice of player 2's direction from its head and the apple.
#include "game_fixture.h"

#include "rules/apple.h"
#include "rules/computer.h"
#include "rules/snake.h"
#include "rules/tick.h"

struct ComputerCase {
    const char *name;
    int32_t before;
    uint32_t head_x, head_y;
    uint32_t apple_x, apple_y;
    int32_t after;
};

class ComputerChoice : public GameTest, public ::testing::WithParamInterface<ComputerCase> {};

TEST_P(ComputerChoice, SteersPlayerTwo) {
    const ComputerCase &c = GetParam();
    player2.head_x = c.head_x;
    player2.head_y = c.head_y;
    apple_x = c.apple_x;
    apple_y = c.apple_y;
    p2_direction = c.before;
    p1_direction = 4;
    steer_computer();
    EXPECT_EQ(p2_direction, c.after);
    EXPECT_EQ(p1_direction, 4);  // it steers player 2 alone
}

INSTANTIATE_TEST_SUITE_P(
    DecisionTable, ComputerChoice,
    ::testing::Values(
        ComputerCase{"StandingAppleAbove", 0, 300, 300, 300, 200, 5},
        ComputerCase{"StandingAppleBelow", 0, 300, 300, 300, 400, 7},
        ComputerCase{"StandingLevelAppleLeft", 0, 300, 300, 200, 305, 6},
        ComputerCase{"StandingLevelAppleRight", 0, 300, 300, 400, 292, 8},
        ComputerCase{"StandingOnTheApple", 0, 300, 300, 300, 300, 0},
        ComputerCase{"DownAppleStraightAboveKeepsGoingDown", 7, 300, 300, 300, 200, 7},
        ComputerCase{"UpAppleStraightBelowKeepsGoingUp", 5, 300, 300, 300, 400, 5},
        ComputerCase{"DownAppleAboveLeftTurnsLeft", 7, 300, 300, 200, 200, 6},
        ComputerCase{"DownAppleAboveRightTurnsRight", 7, 300, 300, 400, 200, 8},
        ComputerCase{"UpAppleBelowRightTurnsRight", 5, 300, 300, 400, 400, 8},
        ComputerCase{"UpAppleBelowLeftTurnsLeft", 5, 300, 300, 200, 400, 6},
        ComputerCase{"RightAppleLevelLeftTurnsDown", 8, 300, 300, 200, 300, 7},
        ComputerCase{"LeftAppleLevelRightTurnsUp", 6, 300, 300, 400, 300, 5},
        ComputerCase{"LeftAppleRightFiveAboveReverses", 6, 300, 300, 400, 295, 8},
        ComputerCase{"LeftAppleRightEightBelowReverses", 6, 300, 300, 400, 308, 8},
        ComputerCase{"RightAppleLeftFiveAboveReverses", 8, 300, 300, 200, 295, 6},
        ComputerCase{"LevelBandEndsAtEightPixels", 8, 300, 300, 200, 309, 7},
        ComputerCase{"RightGoingAwayAppleLevelRightKeepsRight", 8, 300, 300, 400, 300, 8}),
    [](const ::testing::TestParamInfo<ComputerCase> &info) { return std::string(info.param.name); });

TEST(ComputerRun, RunsIntoTheBottomWallWhenTheAppleIsStraightBehind) {
    player2.head_x = 300;
    player2.head_y = 300;
    apple_x = 300;
    apple_y = 100;
    p2_direction = 7;
    for (int tick = 0; tick < 20; tick++) {
        steer_computer();
        ASSERT_EQ(p2_direction, 7);
        player2.head_y += 10;
    }
}
