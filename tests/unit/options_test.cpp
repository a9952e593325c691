// The options screen: its mouse boxes and their bounds, the settings they
// step, the pulsing line and what one frame shows.
#include "game_fixture.h"

#include "app/main_loop.h"
#include "rules/snake.h"
#include "screens/options.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

class OptionsTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        menu_active = 0;
        options_active = 1;
    }
    static void click(int x, int y) {
        mouse_x = x;
        mouse_y = y;
        mouse_b = 1;
        draw_options();
        mouse_b = 0;
    }
};

struct BoxCase {
    const char *name;
    int x, y;
    uint32_t colour_after, mode_after;
    int32_t sound_after;
};

class OptionsBoxes : public OptionsTest, public ::testing::WithParamInterface<BoxCase> {};

// From colour 2, mode 2, sound on: which setting a click at the point changes.
TEST_P(OptionsBoxes, ClickChangesOnlyItsSetting) {
    const BoxCase &c = GetParam();
    colour_index = 2;
    game_mode = MODE_TWO_PLAYERS;
    step_divisor = 2;
    sound_enabled = 1;
    click(c.x, c.y);
    EXPECT_EQ(colour_index, c.colour_after);
    EXPECT_EQ(game_mode, c.mode_after);
    EXPECT_EQ(sound_enabled, c.sound_after);
}

INSTANTIATE_TEST_SUITE_P(
    InclusiveBounds, OptionsBoxes,
    ::testing::Values(BoxCase{"ColourRightTopLeft", 305, 165, 3, 2, 1},
                      BoxCase{"ColourRightBottomLeft", 305, 186, 3, 2, 1},
                      BoxCase{"ColourRightFarCorner", 335, 186, 3, 2, 1},
                      BoxCase{"PastColourRight", 336, 170, 2, 2, 1},
                      BoxCase{"ColourLeft", 230, 165, 1, 2, 1},
                      BoxCase{"ColourLeftFarCorner", 245, 186, 1, 2, 1},
                      BoxCase{"LeftArrowPictureOutsideBox", 229, 170, 2, 2, 1},
                      BoxCase{"LeftArrowPictureEdge", 225, 170, 2, 2, 1},
                      BoxCase{"BetweenLeftBoxAndRightBox", 246, 170, 2, 2, 1},
                      BoxCase{"ValueFrame", 280, 175, 2, 2, 1},
                      BoxCase{"JustLeftOfRightBox", 304, 170, 2, 2, 1},
                      BoxCase{"BetweenRows", 310, 187, 2, 2, 1},
                      BoxCase{"BetweenRowsLow", 310, 224, 2, 2, 1},
                      BoxCase{"ModeRight", 305, 225, 2, 3, 1},
                      BoxCase{"ModeRightBottom", 335, 245, 2, 3, 1},
                      BoxCase{"BelowModeRight", 305, 246, 2, 2, 1},
                      BoxCase{"ModeLeft", 240, 235, 2, 1, 1},
                      BoxCase{"SoundLeft", 230, 285, 2, 2, 0},
                      BoxCase{"SoundLeftBottom", 245, 305, 2, 2, 0},
                      BoxCase{"SoundRight", 320, 300, 2, 2, 1},
                      BoxCase{"BelowSound", 240, 306, 2, 2, 1}),
    [](const ::testing::TestParamInfo<BoxCase> &info) { return std::string(info.param.name); });

TEST_F(OptionsTest, ColourStopsAtItsEndsAndTheLeftArrowAlwaysActs) {
    colour_index = 1;
    for (int frame = 0; frame < 4; frame++) click(310, 170);
    EXPECT_EQ(colour_index, 5u);
    click(310, 170);
    EXPECT_EQ(colour_index, 5u);
    EXPECT_EQ(snake_red, 128);  // grey
    colour_index = 0;
    click(235, 170);
    EXPECT_EQ(colour_index, 0u);
    EXPECT_EQ(snake_green, 255);
    EXPECT_EQ(snake_red, 0);
}

TEST_F(OptionsTest, EveryModeChangeSetsTheStepDivisor) {
    struct {
        uint32_t from;
        int x;
        uint32_t to, divisor;
    } const steps[] = {{1, 310, 2, 2}, {2, 310, 3, 1}, {3, 235, 2, 2}, {2, 235, 1, 1}};
    for (const auto &s : steps) {
        game_mode = s.from;
        step_divisor = 9;
        click(s.x, 235);
        EXPECT_EQ(game_mode, s.to) << s.from;
        EXPECT_EQ(step_divisor, s.divisor) << s.from;
    }
    // At the ends nothing changes and the divisor is not written.
    for (const auto &end : {std::pair<uint32_t, int>{3, 310}, {1, 235}}) {
        game_mode = end.first;
        step_divisor = 9;
        click(end.second, 235);
        EXPECT_EQ(game_mode, end.first);
        EXPECT_EQ(step_divisor, 9u);
    }
}

TEST_F(OptionsTest, SoundArrowsSetRatherThanToggle) {
    for (int32_t start : {0, 1}) {
        sound_enabled = start;
        click(235, 295);
        EXPECT_EQ(sound_enabled, 0);
        sound_enabled = start;
        click(320, 295);
        EXPECT_EQ(sound_enabled, 1);
    }
}

TEST_F(OptionsTest, PulseRisesByFiveFallsByTenInASeventyFourFrameCycle) {
    std::vector<uint32_t> shown;
    for (int frame = 0; frame < 1 + 74 + 1; frame++) {
        draw_options();
        shown.push_back(pulse_level);
        // The line is drawn in the level just reached (the darkest levels
        // are black in 16-bit colour).
        const int p = static_cast<int>(pulse_level);
        if (p >= 40) {
            EXPECT_GT(count_colour(screen, 155, 420, 491, 427, p, p, 0), 20) << frame;
        }
    }
    EXPECT_EQ(shown[0], 5u);
    EXPECT_EQ(shown[49], 250u);
    EXPECT_EQ(shown[50], 245u);  // reached 255 and turned in the same frame
    EXPECT_EQ(shown[74], 5u);
    EXPECT_EQ(shown[75], 10u);
    EXPECT_EQ(shown[1], 10u);
    EXPECT_EQ(shown[1 + 74], shown[1]);
    for (size_t i = 1; i < shown.size(); i++) {
        const long d = static_cast<long>(shown[i]) - static_cast<long>(shown[i - 1]);
        EXPECT_TRUE(d == 5 || d == -10 || (shown[i - 1] == 250 && shown[i] == 245)) << i;
    }
}

TEST_F(OptionsTest, FrameShowsSettingsAndAppliesTheColourIndex) {
    // The first frame after start-up turns the green snake red.
    draw_options();
    EXPECT_EQ(snake_red, 255);
    EXPECT_EQ(snake_green, 0);
    EXPECT_TRUE(pixel_is(screen, 270, 174, 255, 0, 0));  // colour preview
    EXPECT_TRUE(pixel_is(screen, 250, 165, 0, 255, 0));  // value frames
    EXPECT_TRUE(pixel_is(screen, 300, 305, 0, 255, 0));
    EXPECT_GT(count_colour(screen, 80, 170, 232, 177, 255, 255, 0), 50);  // labels
    EXPECT_GT(count_colour(screen, 80, 230, 232, 237, 255, 255, 0), 50);
    EXPECT_GT(count_colour(screen, 80, 290, 232, 297, 255, 255, 0), 50);
    EXPECT_GT(count_colour(screen, 257, 230, 300, 237, 0, 0, 255), 10);  // " 1 J"
    EXPECT_GT(count_colour(screen, 255, 290, 295, 297, 0, 0, 255), 10);  // " OUI "

    // An index beyond the table leaves the colour as it was.
    colour_index = 9;
    draw_options();
    EXPECT_EQ(snake_red, 255);
    EXPECT_EQ(snake_green, 0);
}

TEST_F(OptionsTest, ComputerModeSwitchesTextToTransparentForGood) {
    game_mode = MODE_TWO_PLAYERS;
    draw_options();
    EXPECT_EQ(text_mode(0), 0);
    game_mode = MODE_VS_COMPUTER;
    draw_options();
    EXPECT_EQ(text_mode(-1), -1);
    EXPECT_GT(count_colour(screen, 250, 230, 300, 237, 0, 0, 255), 10);  // "  I.A "
    game_mode = MODE_ONE_PLAYER;
    draw_options();
    EXPECT_EQ(text_mode(-1), -1);
}

TEST_F(OptionsTest, EscapeReturnsToTheMenuAfterShowingTheFrame) {
    key[KEY_ESC] = 1;
    draw_options();
    EXPECT_EQ(options_active, 0);
    EXPECT_EQ(menu_active, 1);
    EXPECT_EQ(game_active, 0);
    EXPECT_TRUE(pixel_is(screen, 250, 165, 0, 255, 0));
}
