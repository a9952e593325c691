// The main menu as a player works it: the frame of the button under the
// pointer turns blue, the others stay green, and the quit button ends the
// program with status 0. Tried on three screens, the game full screen on
// each: the picture at its own size in the middle (no window manager, as
// the existing tests see it), twice its size under a window manager on a
// 1080p screen, and filling the height of a 1366x768 one; the pointer
// lands where it points on every one, on the black around the picture too.
#include <gtest/gtest.h>

#include "harness.h"
#include "screen_reading.h"

namespace {

using namespace e2e;

const milliseconds SCREEN_TIMEOUT(10000);
const milliseconds EXIT_TIMEOUT(10000);
const milliseconds POINTER_TIMEOUT(10000);

// A point inside each button, clear of its frame lines.
int inside_x() { return 300; }
int inside_y(int button) { return button_top(button) + 40; }

// The frame of `lit` is blue and every other frame green.
bool only_lit(const Frame &frame, int lit) {
    for (int b = 0; b < BUTTON_COUNT; b++) {
        if (!button_frame_is(frame, b, b == lit ? colour::BLUE : colour::GREEN)) return false;
    }
    return true;
}

std::string frame_colours(const Frame &frame) {
    std::string out;
    for (int b = 0; b < BUTTON_COUNT; b++) {
        out += "button " + std::to_string(b) + ":";
        for (const auto &p : button_frame_points(b))
            out += " " + to_string(frame.at(p.first, p.second));
        out += "\n";
    }
    return out;
}

struct Screen {
    const char *name;
    const char *size;
    bool window_manager;
    Area picture;  // where the picture lies on the screen
};

const Screen SCREENS[] = {
    {"plain_800x600", "800x600x24", false, {80, 60, 640, 480}},
    {"openbox_1920x1080", "1920x1080x24", true, {320, 60, 1280, 960}},
    {"plain_1366x768", "1366x768x24", false, {171, 0, 1024, 768}},
};

// Names the case in test listings.
void PrintTo(const Screen &screen, std::ostream *os) { *os << screen.name; }

class menu_e2e : public ::testing::TestWithParam<Screen> {
protected:
    menu_e2e() : game_("", GetParam().size) {}

    void SetUp() override {
        game_.install_datafile();
        if (GetParam().window_manager) {
            ASSERT_TRUE(game_.start_window_manager(SCREEN_TIMEOUT))
                << game_.read_file("openbox.log").value_or("");
        }
        ASSERT_TRUE(game_.start_game_with_window()) << "no game window; game log:\n"
                                                    << game_.game_log();
        const Area want = GetParam().picture;
        ASSERT_TRUE(game_.wait_until(
            [&](const Frame &) {
                return game_.window_left() == want.x && game_.window_top() == want.y &&
                       game_.picture_width() == want.w && game_.picture_height() == want.h;
            },
            SCREEN_TIMEOUT))
            << "the picture is at " << game_.window_left() << "," << game_.window_top() << ", "
            << game_.picture_width() << "x" << game_.picture_height();
        // The library puts the pointer in the middle of its window while it
        // starts: the pointer is moved only once the menu is up.
        ASSERT_TRUE(game_.wait_until(menu_shown, SCREEN_TIMEOUT, &menu_))
            << "no menu\n"
            << frame_colours(menu_) << game_.screenshot("no_menu");
        ASSERT_TRUE(move_pointer_seen(game_, PARK_X, PARK_Y, POINTER_TIMEOUT))
            << "the game does not draw its pointer where the pointer was moved\n"
            << game_.screenshot("park");
        ASSERT_TRUE(game_.wait_until(menu_at_rest, SCREEN_TIMEOUT, &menu_))
            << "no menu with four green frames\n"
            << frame_colours(menu_) << game_.screenshot("menu");
    }

    GameUnderX game_;
    Frame menu_;
};

TEST_P(menu_e2e, ShowsFourGreenFramesAndLightsTheOneUnderThePointer) {
    // The one-pixel frame lines of the play button, on all four sides...
    EXPECT_TRUE(menu_.is(180, 130, colour::GREEN)) << to_string(menu_.at(180, 130));
    EXPECT_TRUE(menu_.is(435, 130, colour::GREEN)) << to_string(menu_.at(435, 130));
    EXPECT_TRUE(menu_.is(300, 100, colour::GREEN)) << to_string(menu_.at(300, 100));
    EXPECT_TRUE(menu_.is(300, 176, colour::GREEN)) << to_string(menu_.at(300, 176));
    // ...are lines, not bands: nothing green just outside them.
    EXPECT_FALSE(menu_.is(179, 130, colour::GREEN));
    EXPECT_FALSE(menu_.is(436, 130, colour::GREEN));
    EXPECT_FALSE(menu_.is(300, 99, colour::GREEN));
    EXPECT_FALSE(menu_.is(300, 177, colour::GREEN));
    // The same frames on the other three buttons, 100 pixels apart.
    for (int b = OPTIONS_BUTTON; b <= QUIT_BUTTON; b++) {
        const int top = button_top(b);
        EXPECT_TRUE(menu_.is(180, top + 30, colour::GREEN)) << "button " << b;
        EXPECT_TRUE(menu_.is(435, top + 30, colour::GREEN)) << "button " << b;
        EXPECT_TRUE(menu_.is(300, top, colour::GREEN)) << "button " << b;
        EXPECT_TRUE(menu_.is(300, top + BUTTON_HEIGHT, colour::GREEN)) << "button " << b;
    }

    // Each button in turn lights up under the pointer, and only that one.
    for (int b = 0; b < BUTTON_COUNT; b++) {
        ASSERT_TRUE(move_pointer_seen(game_, inside_x(), inside_y(b), POINTER_TIMEOUT))
            << game_.screenshot("pointer");
        Frame frame;
        EXPECT_TRUE(game_.wait_until([b](const Frame &f) { return only_lit(f, b); }, SCREEN_TIMEOUT,
                                     &frame))
            << "pointer over button " << b << "\n"
            << frame_colours(frame) << game_.screenshot("hover");
    }

    // The options button lit, the others green; away from it, all green again.
    ASSERT_TRUE(move_pointer_seen(game_, 300, 240, POINTER_TIMEOUT)) << game_.screenshot("pointer");
    Frame frame;
    EXPECT_TRUE(game_.wait_until([](const Frame &f) { return only_lit(f, OPTIONS_BUTTON); },
                                 SCREEN_TIMEOUT, &frame))
        << frame_colours(frame) << game_.screenshot("options_lit");
    EXPECT_TRUE(frame.is(180, 240, colour::BLUE)) << to_string(frame.at(180, 240));
    EXPECT_TRUE(frame.is(300, 200, colour::BLUE)) << to_string(frame.at(300, 200));
    EXPECT_TRUE(frame.is(180, 130, colour::GREEN)) << to_string(frame.at(180, 130));

    ASSERT_TRUE(move_pointer_seen(game_, 50, 450, POINTER_TIMEOUT)) << game_.screenshot("pointer");
    EXPECT_TRUE(game_.wait_until(menu_at_rest, SCREEN_TIMEOUT, &frame))
        << frame_colours(frame) << game_.screenshot("away");

    // Hovering changed no screen: the game still shows the menu and runs.
    EXPECT_TRUE(game_.game_running());
}

TEST_P(menu_e2e, ButtonAreasIncludeTheirFrameLines) {
    // On a corner of a frame the button counts as under the pointer; one
    // pixel outside it does not. The pointer's own picture hangs down and
    // right from its tip, so only the far sides of the frame are read.
    struct Probe {
        int x, y;
        int lit;  // -1: no button
    };
    // On the black around the picture, level with a button, none lights:
    // the library's pointer stops at the picture's edge, where it is drawn.
    const Probe probes[] = {
        {180, 100, PLAY_BUTTON}, {-10, 140, -1},          {435, 176, PLAY_BUTTON},
        {700, 140, -1},          {435, 200, OPTIONS_BUTTON}, {180, 476, QUIT_BUTTON},
        {179, 140, -1},          {436, 140, -1},          {300, 177, -1},
        {300, 199, -1},          {300, 99, -1},
    };
    for (const Probe &p : probes) {
        const bool on_picture = p.x >= 0 && p.x < GAME_WIDTH;
        ASSERT_TRUE(on_picture ? move_pointer_seen(game_, p.x, p.y, POINTER_TIMEOUT)
                               : game_.move_pointer(p.x, p.y))
            << p.x << "," << p.y << "\n"
            << game_.screenshot("pointer");
        Frame frame;
        const bool as_expected = game_.wait_until(
            [&p](const Frame &f) {
                for (int b = 0; b < BUTTON_COUNT; b++) {
                    const Rgb want = b == p.lit ? colour::BLUE : colour::GREEN;
                    const int top = button_top(b);
                    // Right side and bottom line, away from the pointer.
                    if (!f.is(BUTTON_RIGHT, top + 60, want)) return false;
                    if (!f.is(BUTTON_RIGHT - 30, top + BUTTON_HEIGHT, want)) return false;
                }
                return true;
            },
            SCREEN_TIMEOUT, &frame);
        EXPECT_TRUE(as_expected) << "pointer at " << p.x << "," << p.y << ": expected "
                                 << (p.lit < 0 ? std::string("no button")
                                               : "button " + std::to_string(p.lit))
                                 << " lit\n"
                                 << frame_colours(frame) << game_.screenshot("probe");
    }
}

TEST_P(menu_e2e, QuitButtonEndsTheProgramWithStatusZero) {
    ASSERT_TRUE(move_pointer_seen(game_, 300, 440, POINTER_TIMEOUT)) << game_.screenshot("pointer");
    ASSERT_TRUE(
        game_.wait_until([](const Frame &f) { return only_lit(f, QUIT_BUTTON); }, SCREEN_TIMEOUT))
        << game_.screenshot("quit_lit");
    // Held until the program has gone; the menu acts while the button is down.
    EXPECT_TRUE(game_.click_until(
        300, 440, [](const Frame &) { return false; }, EXIT_TIMEOUT,
        /*done_when_ended=*/true))
        << "the game still runs after the quit button was clicked\n"
        << game_.screenshot("quit");
    const ExitResult result = game_.wait_for_exit(EXIT_TIMEOUT);
    ASSERT_TRUE(result.finished) << "the game did not end";
    EXPECT_TRUE(result.exited) << to_string(result);
    EXPECT_EQ(result.status, 0) << to_string(result) << "\ngame log:\n" << game_.game_log();
}

INSTANTIATE_TEST_SUITE_P(menu_e2e, menu_e2e, ::testing::ValuesIn(SCREENS),
                         [](const ::testing::TestParamInfo<Screen> &param) {
                             return std::string(param.param.name);
                         });

}  // namespace
