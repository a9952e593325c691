// Pictures of the real game for the README, taken from its window while it
// is played as in the other tests: the main menu, the options screen, a
// one-player game, a two-player game and the end-of-game screen with the
// NEW RECORD banner. Not part of the normal runs (the tests are disabled);
// scripts/screenshots.sh runs them and names the folder the pictures go to
// in SNAKE_SCREENSHOT_DIR.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "png_writer.h"
#include "harness.h"
#include "navigation.h"
#include "screen_reading.h"
#include "steering.h"

namespace {

using namespace e2e;

const milliseconds SCREEN_TIMEOUT(10000);
const milliseconds POINTER_TIMEOUT(10000);
const milliseconds CHASE_TIMEOUT(30000);
const milliseconds WALL_TIMEOUT(15000);

bool playing(const Frame &f) { return play_screen_shown(f) && !game_over_shown(f); }

// Of the ways a snake going `heading` can take (not back), the one with the
// most steps before the wall.
Heading heading_with_most_room(Point head, Heading heading) {
    Heading best = heading;
    int best_steps = -1;
    for (Heading h : {Heading::UP, Heading::LEFT, Heading::DOWN, Heading::RIGHT}) {
        if (h == opposite(heading)) continue;
        int steps = 0;
        for (Point p = step_from(head, h); safe_head_position(p); p = step_from(p, h)) steps++;
        if (steps > best_steps) {
            best = h;
            best_steps = steps;
        }
    }
    return best;
}

class screenshots_e2e : public ::testing::Test {
protected:
    void SetUp() override {
        const char *dir = std::getenv("SNAKE_SCREENSHOT_DIR");
        if (!dir || !*dir) GTEST_SKIP() << "SNAKE_SCREENSHOT_DIR names no folder";
        folder_ = dir;
    }

    void start(const std::string &record = "") {
        game_.install_datafile();
        if (!record.empty()) game_.write_file("scores.txt", record);
        ASSERT_TRUE(game_.start_game_with_window()) << "no game window; game log:\n"
                                                    << game_.game_log();
        ASSERT_TRUE(game_.wait_until(menu_shown, SCREEN_TIMEOUT)) << game_.screenshot("no_menu");
        ASSERT_TRUE(move_pointer_seen(game_, PARK_X, PARK_Y, POINTER_TIMEOUT))
            << game_.screenshot("park");
    }

    void save(const Frame &frame, const std::string &name) {
        const std::string path = folder_ + "/" + name + ".png";
        ASSERT_TRUE(write_png(frame, path)) << "cannot write " << path;
        std::cout << "[ e2e      ] wrote " << path << std::endl;
    }

    // Steers player 1 to `count` apples one after another, each seen eaten
    // in the score of the top status row.
    void eat_apples(int count, Rgb snake, std::optional<Rgb> other_snake = std::nullopt) {
        for (int i = 0; i < count; i++) {
            const Frame before = game_.capture();
            const Chase chase = steer_to_apple(game_, snake, CHASE_TIMEOUT, other_snake);
            ASSERT_TRUE(chase.ate) << "apple " << i + 1 << " not eaten:\n"
                                   << chase.trace << game_.screenshot("chase");
            // An apple by the wall is eaten with the wall a few steps ahead:
            // the snake turns at once, to where it has the most room.
            if (!safe_head_position(step_from(chase.head, chase.heading, 50))) {
                const Heading turn = heading_with_most_room(chase.head, chase.heading);
                game_.press_key(arrow_key(turn));
                std::this_thread::sleep_for(milliseconds(150));
                game_.release_key(arrow_key(turn));
            }
            ASSERT_TRUE(game_.wait_until(
                [&before](const Frame &f) {
                    return playing(f) &&
                           !f.same_area(before, SCORE_LEFT, STATUS_TOP, SCORE_RIGHT, STATUS_BOTTOM);
                },
                SCREEN_TIMEOUT))
                << "apple " << i + 1 << ": the score did not change\n"
                << chase.trace << game_.screenshot("score");
        }
    }

    std::string folder_;
    GameUnderX game_;
};

TEST_F(screenshots_e2e, DISABLED_MainMenu) {
    start();
    if (HasFatalFailure()) return;
    // The pointer over the play button, whose frame turns blue.
    ASSERT_TRUE(move_pointer_seen(game_, 380, 150, POINTER_TIMEOUT)) << game_.screenshot("pointer");
    Frame frame;
    ASSERT_TRUE(game_.wait_until(
        [](const Frame &f) {
            return button_frame_is(f, PLAY_BUTTON, colour::BLUE) && pointer_drawn_at(f, 380, 150);
        },
        SCREEN_TIMEOUT, &frame))
        << game_.screenshot("hover");
    save(frame, "menu");
}

TEST_F(screenshots_e2e, DISABLED_OptionsScreen) {
    start();
    if (HasFatalFailure()) return;
    std::string why;
    ASSERT_TRUE(open_options(game_, SCREEN_TIMEOUT, &why)) << why;
    // Blue for the snake and two players, the pointer left on the arrow
    // just clicked; taken when the ESC line is at its brightest.
    ASSERT_TRUE(click_arrow_until(
        game_, RIGHT_ARROW_X, arrow_y(COLOUR_ROW),
        [](const Frame &f) { return preview_is(f, colour::BLUE); }, SCREEN_TIMEOUT))
        << game_.screenshot("blue");
    ASSERT_TRUE(choose_mode(game_, 2, SCREEN_TIMEOUT, &why)) << why;
    Frame frame;
    ASSERT_TRUE(game_.wait_until(
        [](const Frame &f) {
            return options_shown(f) && mode_shown(f) == 2 && pulse_brightness(f) >= 230;
        },
        milliseconds(20000), &frame))
        << game_.screenshot("options");
    save(frame, "options");
}

TEST_F(screenshots_e2e, DISABLED_OnePlayerGameAndNewRecord) {
    // A record to beat, shown in the top row.
    start("20");
    if (HasFatalFailure()) return;
    std::string why;
    ASSERT_TRUE(start_playing(game_, SCREEN_TIMEOUT, &why)) << why;
    eat_apples(4, colour::GREEN);
    if (HasFatalFailure()) return;
    // A few steps on, with the next apple in the field.
    std::this_thread::sleep_for(milliseconds(250));
    Frame frame;
    ASSERT_TRUE(game_.wait_until(
        [](const Frame &f) {
            const std::vector<Point> squares = find_squares(f, colour::GREEN);
            return playing(f) && squares.size() == 5 && find_apple(f, squares).has_value();
        },
        SCREEN_TIMEOUT, &frame))
        << game_.screenshot("one_player");
    save(frame, "one_player");

    std::string trace;
    ASSERT_TRUE(drive_into_wall(game_, colour::GREEN, /*moving=*/true, WALL_TIMEOUT, &trace))
        << trace << "\n"
        << game_.screenshot("wall");
    ASSERT_TRUE(game_.wait_until(new_record_banner_shown, SCREEN_TIMEOUT, &frame))
        << game_.screenshot("banner");
    save(frame, "new_record");
}

TEST_F(screenshots_e2e, DISABLED_TwoPlayerGame) {
    start();
    if (HasFatalFailure()) return;
    std::string why;
    ASSERT_TRUE(open_options(game_, SCREEN_TIMEOUT, &why)) << why;
    // Player 1 green (one step left of the red the screen starts with).
    ASSERT_TRUE(click_arrow_until(
        game_, LEFT_ARROW_X, arrow_y(COLOUR_ROW),
        [](const Frame &f) { return preview_is(f, colour::GREEN); }, SCREEN_TIMEOUT))
        << game_.screenshot("green");
    ASSERT_TRUE(choose_mode(game_, 2, SCREEN_TIMEOUT, &why)) << why;
    ASSERT_TRUE(leave_options(game_, SCREEN_TIMEOUT)) << game_.screenshot("leave");
    ASSERT_TRUE(start_playing(game_, SCREEN_TIMEOUT, &why)) << why;

    // Player 1 eats two apples while player 2 waits at its start...
    eat_apples(2, colour::GREEN, colour::MAGENTA);
    if (HasFatalFailure()) return;
    const std::optional<Motion> last = watch_one_step(game_, colour::GREEN, SCREEN_TIMEOUT);
    ASSERT_TRUE(last.has_value()) << game_.screenshot("step");
    // ...then player 1 turns, if need be, to where it has the most room,
    // player 2 sets off along its row, away from player 1, and the picture
    // is taken on their way.
    const Heading roomiest = heading_with_most_room(last->head, last->heading);
    if (roomiest != last->heading) game_.press_key(arrow_key(roomiest));
    const unsigned long away = last->head.x < 320 ? XK_d : XK_a;
    game_.press_key(away);
    Frame frame;
    const bool both = game_.wait_until(
        [](const Frame &f) {
            const std::vector<Point> p2 = find_squares(f, colour::MAGENTA, 5);
            return playing(f) && p2.size() == 1 && std::abs(p2.front().x - 320) >= 60 &&
                   !find_squares(f, colour::GREEN, 5).empty();
        },
        SCREEN_TIMEOUT, &frame, milliseconds(5));
    game_.release_key(away);
    if (roomiest != last->heading) game_.release_key(arrow_key(roomiest));
    ASSERT_TRUE(both) << game_.screenshot("two_players");
    save(frame, "two_players");
}

}  // namespace
