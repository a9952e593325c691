// The options screen worked with the mouse as a player does: every arrow of
// every row clicked, one step per click, the values read back from the
// window (the colour preview, the blue mode and sound texts), the bounds of
// each row, ESC back to the menu; and the colour chosen there seen on the
// play screen, for as long as the game keeps it.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "harness.h"
#include "navigation.h"
#include "screen_reading.h"
#include "steering.h"

namespace {

using namespace e2e;

const milliseconds SCREEN_TIMEOUT(10000);
const milliseconds POINTER_TIMEOUT(10000);
const milliseconds CLICK_TIMEOUT(5000);
const milliseconds WALL_TIMEOUT(15000);

const Rgb GREY{128, 128, 128};

// The snake colours in the order of the colour row, from its left end.
struct NamedColour {
    const char *name;
    Rgb rgb;
};
const NamedColour COLOURS[] = {
    {"green", colour::GREEN},   {"red", colour::RED},         {"blue", colour::BLUE},
    {"yellow", colour::YELLOW}, {"magenta", colour::MAGENTA}, {"grey", GREY},
};
constexpr int COLOUR_COUNT = 6;
constexpr int RED_INDEX = 1;

const char *mode_name(int mode) {
    switch (mode) {
        case 1:
            return "\" 1 J\"";
        case 2:
            return "\" 2 J\"";
        case 3:
            return "\"  I.A \"";
        default:
            return "(unreadable)";
    }
}

const char *sound_name(int sound) {
    return sound == 1 ? "\" OUI \"" : sound == 0 ? "\" NON \"" : "(unreadable)";
}

// What the three rows show.
struct Settings {
    int colour;  // index into COLOURS, -1 when the preview is none of them
    int mode;
    int sound;
};

Settings read_settings(const Frame &frame) {
    Settings s{-1, mode_shown(frame), sound_shown(frame)};
    for (int i = 0; i < COLOUR_COUNT; i++)
        if (preview_is(frame, COLOURS[i].rgb)) s.colour = i;
    return s;
}

std::string describe(const Settings &s) {
    return std::string("colour ") + (s.colour >= 0 ? COLOURS[s.colour].name : "(none)") +
           ", mode " + mode_name(s.mode) + ", sound " + sound_name(s.sound);
}

bool operator==(const Settings &a, const Settings &b) {
    return a.colour == b.colour && a.mode == b.mode && a.sound == b.sound;
}

// How GoogleTest prints them in a failed comparison.
void PrintTo(const Settings &s, std::ostream *os) { *os << describe(s); }

class options_e2e : public ::testing::Test {
protected:
    void SetUp() override {
        game_.install_datafile();
        ASSERT_TRUE(game_.start_game_with_window()) << "no game window; game log:\n"
                                                    << game_.game_log();
        // The pointer is moved only once the menu is up (the library puts
        // it back in the middle of its window while it starts).
        ASSERT_TRUE(game_.wait_until(menu_shown, SCREEN_TIMEOUT)) << game_.screenshot("no_menu");
        ASSERT_TRUE(move_pointer_seen(game_, PARK_X, PARK_Y, POINTER_TIMEOUT))
            << game_.screenshot("park");
    }

    // Clicks an arrow and checks that its row took exactly one step: the
    // new value shows, and two frames later (the button long released) it
    // still shows, with the other rows unchanged.
    void step(const char *what, int x, int row, const Settings &expected) {
        step_at(what, x, arrow_y(row), expected);
    }
    void step_at(const char *what, int x, int y, const Settings &expected) {
        ASSERT_TRUE(click_arrow_until(
            game_, x, y,
            [&expected](const Frame &f) { return read_settings(f) == expected; }, CLICK_TIMEOUT))
            << what << ": the options screen never showed " << describe(expected) << "; it shows "
            << describe(read_settings(game_.capture())) << "\n"
            << game_.screenshot(what);
        Frame later;
        ASSERT_TRUE(wait_option_frames(game_, 2, SCREEN_TIMEOUT, &later))
            << what << ": no new frames\n"
            << game_.screenshot(what);
        EXPECT_EQ(read_settings(later), expected)
            << what << ": after one click the screen shows " << describe(read_settings(later))
            << " instead of " << describe(expected) << "\n"
            << game_.screenshot(what);
    }

    // Holds the button on an arrow at the end of its row for three frames
    // and checks that nothing changes in any of them.
    void push_at_bound(const char *what, int x, int row, const Settings &expected) {
        ASSERT_EQ(read_settings(game_.capture()), expected) << what << "\n"
                                                            << game_.screenshot(what);
        ASSERT_TRUE(move_pointer_seen(game_, x, arrow_y(row), CLICK_TIMEOUT))
            << game_.screenshot(what);
        game_.press_button();
        for (int i = 0; i < 3; i++) {
            Frame held;
            const bool seen = wait_option_frames(game_, 1, SCREEN_TIMEOUT, &held);
            if (!seen) game_.release_button();
            ASSERT_TRUE(seen) << what << ": no frames while the button was held\n"
                              << game_.screenshot(what);
            EXPECT_EQ(read_settings(held), expected)
                << what << ": frame " << i + 1 << " with the button held shows "
                << describe(read_settings(held)) << "\n"
                << game_.screenshot(what);
        }
        game_.release_button();
        Frame later;
        ASSERT_TRUE(wait_option_frames(game_, 1, SCREEN_TIMEOUT, &later)) << game_.screenshot(what);
        EXPECT_EQ(read_settings(later), expected)
            << what << ": the screen shows " << describe(read_settings(later)) << "\n"
            << game_.screenshot(what);
    }

    GameUnderX game_;
};

TEST_F(options_e2e, EveryArrowStepsItsRowOnceAndStopsAtTheEnds) {
    std::string why;
    ASSERT_TRUE(open_options(game_, SCREEN_TIMEOUT, &why)) << why;
    Frame first;
    ASSERT_TRUE(game_.wait_until(options_shown, SCREEN_TIMEOUT, &first)) << game_.screenshot("options");

    // The first frame applies colour 1: red, although the snake starts green.
    Settings now{RED_INDEX, 1, 1};
    EXPECT_EQ(read_settings(first), now) << describe(read_settings(first)) << "\n"
                                         << game_.screenshot("first_frame");
    // The three yellow labels, each in its row.
    for (int row = 0; row < OPTION_ROW_COUNT; row++) {
        const int y = 170 + 60 * row;
        EXPECT_GT(first.count(80, y, 160, y + 7, colour::YELLOW), 40) << "label of row " << row;
        EXPECT_EQ(first.count(80, y + 10, 160, y + 40, colour::YELLOW), 0) << "below row " << row;
    }

    // The ESC line pulses: a new yellow brightness in every frame.
    std::vector<int> levels{pulse_brightness(first)};
    Frame frame;
    for (int i = 0; i < 5; i++) {
        ASSERT_TRUE(wait_option_frames(game_, 1, SCREEN_TIMEOUT, &frame)) << game_.screenshot("pulse");
        levels.push_back(pulse_brightness(frame));
        EXPECT_TRUE(pulse_is_yellow(frame)) << game_.screenshot("pulse");
    }
    int lit = 0;
    for (int level : levels) lit += level > 0 ? 1 : 0;
    EXPECT_GE(lit, 4) << "the ESC line is dark\n" << game_.screenshot("pulse");

    // Colour, right arrow: red, blue, yellow, magenta, grey, and no further.
    for (int c = RED_INDEX + 1; c < COLOUR_COUNT; c++) {
        now.colour = c;
        step(COLOURS[c].name, RIGHT_ARROW_X, COLOUR_ROW, now);
        if (HasFatalFailure()) return;
    }
    push_at_bound("colour_right_at_grey", RIGHT_ARROW_X, COLOUR_ROW, now);
    if (HasFatalFailure()) return;
    // Left arrow: back down to green, and no further.
    for (int c = COLOUR_COUNT - 2; c >= 0; c--) {
        now.colour = c;
        step(COLOURS[c].name, LEFT_ARROW_X, COLOUR_ROW, now);
        if (HasFatalFailure()) return;
    }
    push_at_bound("colour_left_at_green", LEFT_ARROW_X, COLOUR_ROW, now);
    if (HasFatalFailure()) return;

    // Mode: " 1 J", " 2 J", "  I.A " and back.
    now.mode = 2;
    step("mode_2", RIGHT_ARROW_X, MODE_ROW, now);
    if (HasFatalFailure()) return;
    now.mode = 3;
    step("mode_computer", RIGHT_ARROW_X, MODE_ROW, now);
    if (HasFatalFailure()) return;
    push_at_bound("mode_right_at_computer", RIGHT_ARROW_X, MODE_ROW, now);
    if (HasFatalFailure()) return;
    now.mode = 2;
    step("mode_back_to_2", LEFT_ARROW_X, MODE_ROW, now);
    if (HasFatalFailure()) return;
    now.mode = 1;
    step("mode_back_to_1", LEFT_ARROW_X, MODE_ROW, now);
    if (HasFatalFailure()) return;
    push_at_bound("mode_left_at_1", LEFT_ARROW_X, MODE_ROW, now);
    if (HasFatalFailure()) return;

    // Sound: the left arrow always says NON, the right one OUI.
    now.sound = 0;
    step("sound_off", LEFT_ARROW_X, SOUND_ROW, now);
    if (HasFatalFailure()) return;
    push_at_bound("sound_off_again", LEFT_ARROW_X, SOUND_ROW, now);
    if (HasFatalFailure()) return;
    now.sound = 1;
    step("sound_on", RIGHT_ARROW_X, SOUND_ROW, now);
    if (HasFatalFailure()) return;
    push_at_bound("sound_on_again", RIGHT_ARROW_X, SOUND_ROW, now);
    if (HasFatalFailure()) return;

    // The bottom left corner of the colour row's right area counts.
    now.colour = RED_INDEX;
    step_at("corner_305_186", 305, 186, now);
    if (HasFatalFailure()) return;

    // Beside the mouse areas a held button changes nothing, with every row
    // away from its ends in the direction that area would step it: on the
    // left arrow's picture left of its area (colour red), between a value
    // frame and the right arrow's area (colour red, mode 1), between two
    // rows, and just below the mode row's right area (x = 305, y = 246).
    for (const auto &spot : {std::pair<int, int>{226, arrow_y(COLOUR_ROW)},
                             {303, arrow_y(COLOUR_ROW)},
                             {303, arrow_y(MODE_ROW)},
                             {320, 205},
                             {305, 246}}) {
        ASSERT_TRUE(hold_arrow(game_, spot.first, spot.second, 2, CLICK_TIMEOUT))
            << game_.screenshot("outside");
        ASSERT_TRUE(wait_option_frames(game_, 1, SCREEN_TIMEOUT, &frame));
        EXPECT_EQ(read_settings(frame), now)
            << "the button held at " << spot.first << "," << spot.second << " changed "
            << describe(read_settings(frame)) << "\n"
            << game_.screenshot("outside");
    }

    // ESC: back to the menu, and the game goes on.
    ASSERT_TRUE(leave_options(game_, SCREEN_TIMEOUT))
        << "no menu after ESC on the options screen\n"
        << game_.screenshot("escape");
    EXPECT_TRUE(game_.game_running());
}

// Player 1's square and the top status row, all in one colour.
void expect_play_colour(GameUnderX &game, const Frame &frame, Rgb wanted, const char *what) {
    const std::vector<Point> squares = find_squares(frame, wanted);
    EXPECT_EQ(squares.size(), 1u) << what << ": no single square of player 1 in "
                                  << to_string(wanted) << "\n"
                                  << game.screenshot(what);
    const int score_text = frame.count(SCORE_LEFT, STATUS_TOP, SCORE_RIGHT, STATUS_BOTTOM, wanted);
    EXPECT_GT(score_text, 0) << what << ": the top status row is not in " << to_string(wanted)
                             << "\n"
                             << game.screenshot(what);
    EXPECT_EQ(frame.count_not_black(0, STATUS_TOP, 639, STATUS_BOTTOM),
              frame.count(0, STATUS_TOP, 639, STATUS_BOTTOM, wanted))
        << what << ": the top status row has pixels of another colour\n"
        << game.screenshot(what);
}

// Drives the standing snake into the nearest wall and leaves the
// end-of-game screen.
void end_game_on_wall(GameUnderX &game, Rgb snake) {
    std::string trace;
    ASSERT_TRUE(drive_into_wall(game, snake, /*moving=*/false, WALL_TIMEOUT, &trace))
        << "no end-of-game screen: " << trace << "\n"
        << game.screenshot("wall");
    ASSERT_TRUE(escape_to_main_menu(game, SCREEN_TIMEOUT)) << game.screenshot("escape");
}

TEST_F(options_e2e, ChosenColourShowsOnThePlayScreenUntilTheOptionsAreOpenedAgain) {
    std::string why;
    // Red at first; one click on the right arrow makes it blue.
    ASSERT_TRUE(open_options(game_, SCREEN_TIMEOUT, &why)) << why;
    ASSERT_TRUE(game_.wait_until([](const Frame &f) { return preview_is(f, colour::RED); },
                                 SCREEN_TIMEOUT))
        << game_.screenshot("red");
    ASSERT_TRUE(click_arrow_until(
        game_, RIGHT_ARROW_X, arrow_y(COLOUR_ROW),
        [](const Frame &f) { return preview_is(f, colour::BLUE); }, CLICK_TIMEOUT))
        << game_.screenshot("blue");
    ASSERT_TRUE(leave_options(game_, SCREEN_TIMEOUT)) << game_.screenshot("escape");

    ASSERT_TRUE(start_playing(game_, SCREEN_TIMEOUT, &why)) << why;
    expect_play_colour(game_, game_.capture(), colour::BLUE, "blue_game");
    end_game_on_wall(game_, colour::BLUE);
    if (HasFatalFailure()) return;

    // The end of a game puts the colour row back on red, but the snake
    // keeps its colour as long as the options screen is not shown.
    ASSERT_TRUE(start_playing(game_, SCREEN_TIMEOUT, &why)) << why;
    expect_play_colour(game_, game_.capture(), colour::BLUE, "still_blue");
    end_game_on_wall(game_, colour::BLUE);
    if (HasFatalFailure()) return;

    // Its first frame applies the colour row: red, with no click at all.
    ASSERT_TRUE(open_options(game_, SCREEN_TIMEOUT, &why)) << why;
    Frame options;
    ASSERT_TRUE(game_.wait_until(options_shown, SCREEN_TIMEOUT, &options));
    EXPECT_TRUE(preview_is(options, colour::RED)) << game_.screenshot("red_again");
    ASSERT_TRUE(leave_options(game_, SCREEN_TIMEOUT)) << game_.screenshot("escape");
    ASSERT_TRUE(start_playing(game_, SCREEN_TIMEOUT, &why)) << why;
    expect_play_colour(game_, game_.capture(), colour::RED, "red_game");
}

}  // namespace
