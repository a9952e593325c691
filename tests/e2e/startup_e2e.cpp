// Starting and ending the game in bad surroundings.
//
// Without a usable snake.dat the game says so in a message box (the library
// shows it through the xmessage program), whose OK a person can click, and
// then ends with status 1. SIGTERM, SIGINT and SIGHUP end the game as killed
// by that signal on every screen, never by abort or a crash. A lost X
// server ends it with status 1 and a line on stderr. Standard streams
// closed at start change nothing.
#include <gtest/gtest.h>
#include <signal.h>

#include <X11/keysym.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "harness.h"
#include "navigation.h"
#include "screen_reading.h"

namespace {

using namespace e2e;

const milliseconds MESSAGE_TIMEOUT(20000);
const milliseconds SCREEN_TIMEOUT(10000);
const milliseconds EXIT_TIMEOUT(5000);

// ---------------------------------------------------------------- the error box

struct DatafileCase {
    const char *name;
    bool present;         // false: no snake.dat at all
    const char *content;  // what snake.dat holds when present
};

// Names the case in test listings.
void PrintTo(const DatafileCase &c, std::ostream *os) { *os << c.name; }

class BadDatafile : public ::testing::TestWithParam<DatafileCase> {};

TEST_P(BadDatafile, ShowsTheMessageAndEndsWithStatusOneOnceOkIsClicked) {
    const DatafileCase &bad = GetParam();
    GameUnderX game;
    if (bad.present) game.write_file("snake.dat", bad.content);
    game.start_game();

    const std::optional<MessageBox> box = game.wait_for_message(MESSAGE_TIMEOUT);
    ASSERT_TRUE(box.has_value()) << "no message box; the game is "
                                 << (game.game_running() ? "still running" : "gone: ")
                                 << to_string(game.wait_for_exit(milliseconds(0)))
                                 << "\ngame log:\n"
                                 << game.game_log();
    // The library ends every message with a line end of its own.
    std::string text = box->text;
    ASSERT_FALSE(text.empty());
    if (text.back() == '\n') text.pop_back();
    EXPECT_EQ(text, "Can not load pomme.bmp !");
    // Standard error names the file looked for and the folder looked in.
    EXPECT_NE(game.game_log().find("snake.dat from the folder " + game.folder() + "\n"),
              std::string::npos) << game.game_log();
    ASSERT_TRUE(game.wait_for_message_window(MESSAGE_TIMEOUT))
        << "the xmessage program runs but shows no window";

    // The game waits for the box, and the box for a click on its OK.
    EXPECT_TRUE(game.game_running());
    ASSERT_TRUE(game.click_message_ok()) << "the pointer would not stay on the box's OK button";
    const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
    ASSERT_TRUE(result.finished) << "the game still runs after OK was clicked: the full-screen "
                                    "mode holds the pointer";
    EXPECT_TRUE(result.exited) << to_string(result) << "\ngame log:\n" << game.game_log();
    EXPECT_EQ(result.status, 1) << to_string(result);
    // Nothing was played, so no record was written.
    EXPECT_FALSE(game.file_exists("scores.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    startup_e2e, BadDatafile,
    ::testing::Values(DatafileCase{"Missing", false, ""}, DatafileCase{"Empty", true, ""},
                      DatafileCase{"Text", true, "This is not a datafile.\nJust some text.\n"}),
    [](const ::testing::TestParamInfo<DatafileCase> &param) {
        return std::string(param.param.name);
    });

// ---------------------------------------------------------------- where the game stands

enum Screen { MENU, OPTIONS, CREDITS, PLAY, GAME_OVER, ERROR_BOX };

const char *screen_name(Screen screen) {
    static const char *const names[] = {"menu",     "options",  "credits",
                                        "play",     "game_over", "error_box"};
    return names[screen];
}

// Starts the game (without snake.dat for the error box) and brings it to
// `screen` as a player would; what went wrong, or empty.
std::string bring_to(GameUnderX &game, Screen screen) {
    if (screen != ERROR_BOX) game.install_datafile();
    game.start_game();
    if (screen == ERROR_BOX) {
        if (!game.wait_for_message(MESSAGE_TIMEOUT) ||
            !game.wait_for_message_window(MESSAGE_TIMEOUT))
            return "no message box";
        return "";
    }
    if (!game.wait_for_window() || !game.wait_until(menu_shown, SCREEN_TIMEOUT))
        return "no menu; " + game.screenshot("no_menu");
    std::string why;
    switch (screen) {
    case OPTIONS:
        if (!open_options(game, SCREEN_TIMEOUT, &why)) return why;
        break;
    case CREDITS:
        if (!move_pointer_seen(game, 300, 340, SCREEN_TIMEOUT) ||
            !game.click_until(
                300, 340, [](const Frame &f) { return !menu_shown(f); }, SCREEN_TIMEOUT))
            return "the credits did not start; " + game.screenshot("credits");
        break;
    case PLAY:
    case GAME_OVER:
        if (!start_playing(game, SCREEN_TIMEOUT, &why)) return why;
        // Up from row 100: the border is five steps away.
        if (screen == GAME_OVER && !game.key_until(XK_Up, game_over_shown, SCREEN_TIMEOUT))
            return "no end-of-game screen; " + game.screenshot("game_over");
        break;
    default:
        break;
    }
    return "";
}

// ---------------------------------------------------------------- ending signals

// A shell reports a death by signal n as 128 + n: either is an ending by
// that signal, an abort or a crash is not.
bool ended_by(const ExitResult &result, int sig) {
    return (!result.exited && result.signal == sig) ||
           (result.exited && result.status == 128 + sig);
}

class EndingSignal : public ::testing::TestWithParam<std::tuple<Screen, int>> {};

TEST_P(EndingSignal, EndsTheGameAsKilledByIt) {
    const Screen screen = std::get<0>(GetParam());
    const int sig = std::get<1>(GetParam());
    GameUnderX game;
    const std::string why = bring_to(game, screen);
    ASSERT_TRUE(why.empty()) << why << "\ngame log:\n" << game.game_log();

    ASSERT_EQ(kill(game.game_pid(), sig), 0);
    const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
    ASSERT_TRUE(result.finished) << "the game still runs after signal " << sig;
    EXPECT_TRUE(ended_by(result, sig)) << to_string(result) << "\ngame log:\n" << game.game_log();
    if (screen == ERROR_BOX) {
        bool gone = false;
        for (int i = 0; i < 250 && !gone; i++) {
            gone = !game.message_window_shown();
            if (!gone) std::this_thread::sleep_for(milliseconds(20));
        }
        EXPECT_TRUE(gone) << "the message box stays on the screen after the game has ended";
    }
}

INSTANTIATE_TEST_SUITE_P(startup_e2e, EndingSignal,
                         ::testing::Combine(::testing::Values(MENU, OPTIONS, CREDITS, PLAY,
                                                              GAME_OVER, ERROR_BOX),
                                            ::testing::Values(SIGTERM, SIGINT, SIGHUP)),
                         [](const ::testing::TestParamInfo<std::tuple<Screen, int>> &param) {
                             return std::string(screen_name(std::get<0>(param.param))) + "_" +
                                    sigabbrev_np(std::get<1>(param.param));
                         });

// ---------------------------------------------------------------- the close button

// The window's close button, the window focused by a window manager, ends
// the game with status 0 on every screen, a few times each: the game ends
// in the state the close finds it in, wherever its threads stand.
class CloseButton : public ::testing::TestWithParam<Screen> {};

TEST_P(CloseButton, EndsTheGameWithStatusZero) {
    for (int run = 0; run < 2; run++) {
        SCOPED_TRACE("run " + std::to_string(run));
        GameUnderX game;
        ASSERT_TRUE(game.start_window_manager(SCREEN_TIMEOUT));
        const std::string why = bring_to(game, GetParam());
        ASSERT_TRUE(why.empty()) << why << "\ngame log:\n" << game.game_log();
        game.close_window();
        const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
        EXPECT_TRUE(result.exited && result.status == 0) << to_string(result) << "\ngame log:\n"
                                                         << game.game_log();
    }
}

INSTANTIATE_TEST_SUITE_P(startup_e2e, CloseButton,
                         ::testing::Values(MENU, OPTIONS, CREDITS, PLAY, GAME_OVER),
                         [](const ::testing::TestParamInfo<Screen> &param) {
                             return std::string(screen_name(param.param));
                         });

// Two games on their end-of-game screens, both redrawing as fast as they
// can, signalled at the same moment.
TEST(startup_e2e, TwoGamesAtOnceEndAsKilledByTheSignal) {
    GameUnderX first("two_games_first"), second("two_games_second");
    for (GameUnderX *game : {&first, &second}) {
        const std::string why = bring_to(*game, GAME_OVER);
        ASSERT_TRUE(why.empty()) << why << "\ngame log:\n" << game->game_log();
    }
    ASSERT_EQ(kill(first.game_pid(), SIGTERM), 0);
    ASSERT_EQ(kill(second.game_pid(), SIGTERM), 0);
    for (GameUnderX *game : {&first, &second}) {
        const ExitResult result = game->wait_for_exit(EXIT_TIMEOUT);
        EXPECT_TRUE(ended_by(result, SIGTERM)) << to_string(result) << "\ngame log:\n"
                                               << game->game_log();
    }
}

// ---------------------------------------------------------------- the display lost

class DisplayLost : public ::testing::TestWithParam<Screen> {};

TEST_P(DisplayLost, EndsWithStatusOneAndSaysSo) {
    // The game met the loss on either of its threads, at any point of a
    // frame: a few runs each.
    for (int run = 0; run < 4; run++) {
        SCOPED_TRACE("run " + std::to_string(run));
        GameUnderX game;
        const std::string why = bring_to(game, GetParam());
        ASSERT_TRUE(why.empty()) << why << "\ngame log:\n" << game.game_log();
        game.lose_display();
        const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
        ASSERT_TRUE(result.finished) << "the game still runs without its display";
        EXPECT_TRUE(result.exited && result.status == 1) << to_string(result) << "\ngame log:\n"
                                                         << game.game_log();
        const std::string log = game.game_log();
        const std::string line = "snake: the connection to the display was lost\n";
        const size_t at = log.find(line);
        EXPECT_NE(at, std::string::npos) << "game log:\n" << log;
        if (at != std::string::npos) {
            EXPECT_EQ(log.find(line, at + 1), std::string::npos) << log;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(startup_e2e, DisplayLost, ::testing::Values(MENU, PLAY),
                         [](const ::testing::TestParamInfo<Screen> &param) {
                             return std::string(screen_name(param.param));
                         });

// ---------------------------------------------------------------- closed standard streams

struct ClosedStreams {
    const char *name;
    std::vector<int> fds;
};

void PrintTo(const ClosedStreams &c, std::ostream *os) { *os << c.name; }

class StreamsClosedAtStart : public ::testing::TestWithParam<ClosedStreams> {};

TEST_P(StreamsClosedAtStart, DrawTheMenuAndQuitWithStatusZero) {
    GameUnderX game;
    game.install_datafile();
    game.set_closed_descriptors(GetParam().fds);
    ASSERT_TRUE(game.start_game_with_window()) << "no game window";
    ASSERT_TRUE(game.wait_until(menu_shown, SCREEN_TIMEOUT)) << "no menu\n"
                                                             << game.screenshot("no_menu");
    ASSERT_TRUE(move_pointer_seen(game, 300, 440, SCREEN_TIMEOUT)) << game.screenshot("pointer");
    EXPECT_TRUE(game.click_until(
        300, 440, [](const Frame &) { return false; }, EXIT_TIMEOUT, /*done_when_ended=*/true))
        << "the game still runs after the quit button was clicked\n"
        << game.screenshot("quit");
    const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
    ASSERT_TRUE(result.finished);
    EXPECT_TRUE(result.exited && result.status == 0) << to_string(result);
}

INSTANTIATE_TEST_SUITE_P(startup_e2e, StreamsClosedAtStart,
                         ::testing::Values(ClosedStreams{"stderr", {2}},
                                           ClosedStreams{"all_three", {0, 1, 2}}),
                         [](const ::testing::TestParamInfo<ClosedStreams> &param) {
                             return std::string(param.param.name);
                         });

// ---------------------------------------------------------------- full screen on an X desktop

// The picture's place on the screen and the window's, once they are there.
bool placed(GameUnderX &game, const Area &window, const Area &picture) {
    return game.wait_until(
        [&](const Frame &) {
            const Area w = game.window_area();
            return w.x == window.x && w.y == window.y && w.w == window.w && w.h == window.h &&
                   game.window_left() == picture.x && game.window_top() == picture.y &&
                   game.picture_width() == picture.w && game.picture_height() == picture.h;
        },
        SCREEN_TIMEOUT);
}

std::string place_of(GameUnderX &game) {
    const Area w = game.window_area();
    return "window " + std::to_string(w.w) + "x" + std::to_string(w.h) + "+" + std::to_string(w.x) +
           "+" + std::to_string(w.y) + ", picture at " + std::to_string(game.window_left()) + "," +
           std::to_string(game.window_top()) + " " + std::to_string(game.picture_width()) + " wide";
}

// A tap, shorter than a frame: every press counts.
void tap_f11(GameUnderX &game) { game.hold_key(XK_F11, milliseconds(20)); }

// Under a window manager on a 1080p screen the game covers it without
// changing its mode, each picture pixel a sharp 2x2 block in the middle;
// F11 gives a 1280x960 window and F11 again full screen, the game going on,
// and a kill leaves the screen's mode as it was.
TEST(startup_e2e, FullScreenAt1080pIsTwiceTheSizeAndF11SwitchesToAWindow) {
    GameUnderX game("", "1920x1080x24");
    game.install_datafile();
    ASSERT_TRUE(game.start_window_manager(SCREEN_TIMEOUT));
    const std::string mode = game.screen_mode();
    ASSERT_EQ(mode, "1920x1080");
    ASSERT_TRUE(game.start_game_with_window()) << game.game_log();
    ASSERT_TRUE(placed(game, {0, 0, 1920, 1080}, {320, 60, 1280, 960})) << place_of(game);
    ASSERT_TRUE(game.wait_until(menu_shown, SCREEN_TIMEOUT)) << game.screenshot("menu");
    // The play button's left frame line, x 180 of the picture, is the
    // screen's columns 680 and 681: green, black beside them, nothing
    // between. The black around the picture stays black.
    const Frame screen = game.capture_screen();
    for (int y = 300; y < 304; y++) {
        EXPECT_TRUE(screen.is(680, y, colour::GREEN) && screen.is(681, y, colour::GREEN))
            << y << ": " << to_string(screen.at(680, y)) << " " << to_string(screen.at(681, y));
        EXPECT_TRUE(is_black(screen.at(679, y))) << y << ": " << to_string(screen.at(679, y));
    }
    EXPECT_EQ(screen.count_not_black(0, 0, 319, 1079) + screen.count_not_black(1600, 0, 1919, 1079), 0);
    EXPECT_EQ(game.screen_mode(), mode);

    // The pointer on the play button, which lights; the window then moves
    // under it, and it still points at the button, where a click starts a
    // game.
    ASSERT_TRUE(move_pointer_seen(game, PLAY_CLICK_X, PLAY_CLICK_Y, SCREEN_TIMEOUT));
    tap_f11(game);
    // Centred across; down, the title bar shifts it a little.
    EXPECT_TRUE(game.wait_until(
        [&](const Frame &f) {
            const Area w = game.window_area();
            return w.x == 320 && w.y > 20 && w.y < 100 && w.w == 1280 && w.h == 960 &&
                   game.window_left() == w.x && game.picture_width() == 1280 &&
                   button_frame_is(f, PLAY_BUTTON, colour::BLUE);
        },
        SCREEN_TIMEOUT))
        << place_of(game) << " " << game.screenshot("window");
    // A desktop may take the window's input away for a moment while it
    // changes it (Wine under load): the pointer is seen moving on the
    // button, where the picture now lies, before the click.
    ASSERT_TRUE(move_pointer_seen(game, PLAY_CLICK_X + 20, PLAY_CLICK_Y, SCREEN_TIMEOUT))
        << place_of(game) << " " << game.screenshot("pointer");
    EXPECT_TRUE(game.click_until(PLAY_CLICK_X + 20, PLAY_CLICK_Y, play_screen_shown, SCREEN_TIMEOUT))
        << game.screenshot("play");
    tap_f11(game);
    EXPECT_TRUE(placed(game, {0, 0, 1920, 1080}, {320, 60, 1280, 960})) << place_of(game);
    EXPECT_TRUE(game.wait_until(play_screen_shown, SCREEN_TIMEOUT)) << game.screenshot("again");
    EXPECT_EQ(game.screen_mode(), mode);
    game.kill_game();
    EXPECT_EQ(game.screen_mode(), mode);
}

// With two monitors the game covers the one that holds the pointer, and
// only that one.
TEST(startup_e2e, FullScreenCoversOnlyTheMonitorWithThePointer) {
    GameUnderX game("", "3840x1080x24");
    game.install_datafile();
    ASSERT_EQ(game.run_x_program({"xrandr", "--setmonitor", "L", "1920/508x1080/286+0+0", "none"}), 0);
    ASSERT_EQ(game.run_x_program({"xrandr", "--setmonitor", "R", "1920/508x1080/286+1920+0", "screen"}), 0);
    ASSERT_TRUE(game.start_window_manager(SCREEN_TIMEOUT));
    ASSERT_EQ(game.run_x_program({"xdotool", "mousemove", "2880", "540"}), 0);
    ASSERT_TRUE(game.start_game_with_window()) << game.game_log();
    EXPECT_TRUE(placed(game, {1920, 0, 1920, 1080}, {2240, 60, 1280, 960})) << place_of(game);
}

// ---------------------------------------------------------------- a Wayland desktop

// Started as a desktop starts it, in weston's Wayland session with a Wayland
// terminal focused, and driven through the compositor: the game covers
// weston's 900x700 output, its picture filling the height, and gets the
// keys; Alt+Enter makes it a 640x480 window, whose close button ends the game
// (here from the end-of-game screen's own loop) as QUITTER does.
TEST(startup_e2e, UnderWestonPlaysFullScreenAndItsWindowsCloseButtonEnds) {
    GameUnderX game("", "1024x768x24");
    game.install_datafile();
    ASSERT_TRUE(game.start_compositor(milliseconds(60000)))
        << game.read_file("weston.log").value_or("");
    ASSERT_TRUE(game.start_game_with_window(milliseconds(60000))) << game.game_log();
    const GameUnderX::Labels labels = game.window_labels();
    EXPECT_EQ(labels.title, "Snake");
    EXPECT_EQ(labels.res_name, "snake-game");
    std::ifstream entry(SNAKE_DESKTOP_ENTRY_IN);
    const std::string text((std::istreambuf_iterator<char>(entry)), {});
    EXPECT_NE(text.find("\nStartupWMClass=" + labels.res_class + "\n"), std::string::npos) << text;
    // The game's own icon: the red apple at the top right, the green snake.
    ASSERT_EQ(labels.icon.size(), 48u * 48u) << "no 48x48 icon";
    EXPECT_GT(labels.icon[14 * 48 + 37] >> 16 & 0xFF, 150u);
    EXPECT_GT(labels.icon[24 * 48 + 24] >> 8 & 0xFF, 150u);

    const auto picture_is = [&game](int left, int top, int width) {
        return [&game, left, top, width](const Frame &) {
            return game.window_left() == left && game.window_top() == top &&
                   game.picture_width() == width;
        };
    };
    EXPECT_TRUE(game.wait_until(picture_is(0, 12, 900), SCREEN_TIMEOUT))
        << game.window_left() << "," << game.window_top() << " " << game.picture_width();
    std::string why;
    ASSERT_TRUE(start_playing(game, SCREEN_TIMEOUT, &why)) << why;
    ASSERT_TRUE(game.key_until(XK_Up, game_over_shown, SCREEN_TIMEOUT)) << game.screenshot("up");
    const Area full = game.window_area();
    game.press_key(XK_Alt_L);
    game.hold_key(XK_Return, milliseconds(20));
    game.release_key(XK_Alt_L);
    ASSERT_TRUE(game.wait_until([&](const Frame &f) {
        return game.picture_width() == GAME_WIDTH && game_over_shown(f);
    }, SCREEN_TIMEOUT)) << game.screenshot("window");
    EXPECT_LT(game.window_area().w, full.w);
    // weston's close button, at the right of the title bar, clicked again
    // should a busy weston miss a click.
    ASSERT_TRUE(game.move_pointer(GAME_WIDTH - 14, -13));
    for (int click = 0; click < 5 && game.game_running(); click++) {
        game.press_button();
        std::this_thread::sleep_for(milliseconds(150));
        game.release_button();
        game.wait_for_exit(SCREEN_TIMEOUT / 5);
    }
    const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
    EXPECT_TRUE(result.exited && result.status == 0) << to_string(result);
}

}  // namespace
