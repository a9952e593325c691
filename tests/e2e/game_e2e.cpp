// One-player games played through the window: the play button, steering
// with the arrow keys to the apple, the score, a death on the wall, the
// end-of-game screen with and without a new record, ESC back to the menu,
// and the record file the game leaves in its folder.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "harness.h"
#include "one_player.h"
#include "screen_reading.h"
#include "steering.h"

namespace {

using namespace e2e;

const milliseconds SCREEN_TIMEOUT(10000);
const milliseconds POINTER_TIMEOUT(10000);
const milliseconds WALL_TIMEOUT(15000);
const milliseconds EXIT_TIMEOUT(5000);

// Player 1's colour until the options screen changes it.
const Rgb SNAKE = colour::GREEN;

std::string squares_text(const std::vector<Point> &squares) {
    std::string out;
    for (const Point &p : squares)
        out += " (" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
    return out.empty() ? " none" : out;
}

// Where player 1 stands when a game starts, after `deaths` deaths in the
// run: the resets alternate between rows 100 and 240; the run starts with
// two (player 1's first) and every death of one player adds one.
int start_row(int deaths) { return deaths == 0 || deaths % 2 == 1 ? 100 : 240; }

// Clicks the play button and waits for the play screen. The pointer stays
// on the button: moving it while the game runs would have the library draw
// its arrow into the play frames.
void click_play(GameUnderX &game) {
    ASSERT_TRUE(game.wait_until(menu_shown, SCREEN_TIMEOUT)) << game.screenshot("no_menu");
    ASSERT_TRUE(move_pointer_seen(game, 300, 140, POINTER_TIMEOUT)) << game.screenshot("pointer");
    ASSERT_TRUE(game.click_until(300, 140, in_play, SCREEN_TIMEOUT))
        << "no play screen after a click on the play button\n"
        << game.screenshot("play");
}

// ESC on the end-of-game screen brings the menu back.
void leave_game_over(GameUnderX &game) {
    ASSERT_TRUE(game.key_until(XK_Escape, menu_shown, SCREEN_TIMEOUT))
        << "no menu after ESC on the end-of-game screen\n"
        << game.screenshot("after_esc");
}

TEST(game_e2e, EatingBeatsTheRecordAndTheNextGameDoesNot) {
    GameUnderX game;
    game.install_datafile();
    ASSERT_FALSE(game.file_exists("scores.txt"));
    ASSERT_TRUE(game.start_game_with_window()) << "no game window; game log:\n" << game.game_log();

    // ---- first game: the apple, then the wall ----
    // A snake that dies before the apple scores and saves nothing: that
    // game is played again.
    const GameOfTen first = play_game_of_ten(game, SNAKE, GameTimeouts{}, 3);
    ASSERT_TRUE(first.started) << first.story;
    const Frame &start = first.start;
    ASSERT_TRUE(in_play(start)) << game.screenshot("start");

    // The yellow double border: two outlines with a black gap between them.
    EXPECT_TRUE(start.is(48, 200, colour::YELLOW)) << to_string(start.at(48, 200));
    EXPECT_TRUE(start.is(50, 200, colour::YELLOW)) << to_string(start.at(50, 200));
    EXPECT_TRUE(is_black(start.at(49, 200))) << to_string(start.at(49, 200));
    // The top status row is written in the snake's colour, and only in it.
    const int score_text = start.count(SCORE_LEFT, STATUS_TOP, SCORE_RIGHT, STATUS_BOTTOM, SNAKE);
    EXPECT_GT(score_text, 0);
    EXPECT_EQ(start.count_not_black(SCORE_LEFT, STATUS_TOP, SCORE_RIGHT, STATUS_BOTTOM),
              score_text);
    // Score 0 and record 0 (there is no record file): the same digit twice,
    // and nothing after it.
    const uint64_t zero = first.zero;
    EXPECT_NE(zero, 0u) << "no score digit at x = " << SCORE_DIGIT_LEFT;
    EXPECT_EQ(glyph_mask(start, SCORE_DIGIT_LEFT + GLYPH_SIZE, STATUS_TOP, SNAKE), 0u);
    EXPECT_EQ(glyph_mask(start, RECORD_DIGIT_LEFT, STATUS_TOP, SNAKE), zero)
        << "the record does not read 0";
    EXPECT_EQ(glyph_mask(start, RECORD_DIGIT_LEFT + GLYPH_SIZE, STATUS_TOP, SNAKE), 0u);
    // Player 1 stands alone at the start, not moving yet.
    const std::vector<Point> first_squares = find_squares(start, SNAKE);
    ASSERT_EQ(first_squares.size(), 1u) << squares_text(first_squares);
    EXPECT_EQ(first_squares[0], (Point{320, start_row(first.games - 1)}))
        << squares_text(first_squares);
    ASSERT_TRUE(find_apple(start, first_squares).has_value());

    ASSERT_TRUE(first.ate) << "the snake did not eat the apple:\n"
                           << first.story << game.screenshot("chase");
    // The score row read 10: a new first digit, then the 0 moved along.
    const uint64_t one = first.one;
    if (in_play(first.eaten)) {
        EXPECT_EQ(find_squares(first.eaten, SNAKE).size(), 2u)
            << "the snake did not grow by one square\n"
            << first.story;
    }
    ASSERT_TRUE(first.ended) << "no end-of-game screen after driving into the wall:\n"
                             << first.story << game.screenshot("wall");
    const Frame &record_beaten = first.game_over;
    for (const auto &p : {std::pair<int, int>{150, 200}, {500, 200}, {300, 100}, {300, 300}})
        EXPECT_TRUE(record_beaten.is(p.first, p.second, colour::DARK_RED))
            << p.first << "," << p.second << ": " << to_string(record_beaten.at(p.first, p.second));
    EXPECT_TRUE(new_record_banner_shown(record_beaten)) << "no NEW RECORD banner\n"
                                                        << game.screenshot("banner");
    EXPECT_TRUE(red_n_present(record_beaten));
    EXPECT_EQ(record_beaten.count(160, 120, 167, 127, colour::GREEN), 0)
        << "the line for a record not beaten is drawn too\n"
        << game.screenshot("banner");
    // "Votre score est de : 10" in yellow.
    EXPECT_EQ(glyph_mask(record_beaten, FINAL_SCORE_DIGIT_LEFT, FINAL_SCORE_ROW, colour::YELLOW),
              one)
        << first.story << game.screenshot("final_score");
    EXPECT_EQ(glyph_mask(record_beaten, FINAL_SCORE_DIGIT_LEFT + GLYPH_SIZE, FINAL_SCORE_ROW,
                         colour::YELLOW),
              zero)
        << first.story << game.screenshot("final_score");

    leave_game_over(game);
    if (HasFatalFailure()) return;
    EXPECT_EQ(game.read_file("scores.txt").value_or("(missing)"), "10") << first.story;

    // ---- second game: straight into the nearest wall, no apple ----
    click_play(game);
    if (HasFatalFailure()) return;
    const Frame second = game.capture();
    ASSERT_TRUE(in_play(second)) << game.screenshot("second_start");
    // The record shown is the one just saved; the score is 0 again.
    EXPECT_EQ(glyph_mask(second, RECORD_DIGIT_LEFT, STATUS_TOP, SNAKE), one)
        << "the record does not read 10\n"
        << game.screenshot("second_start");
    EXPECT_EQ(glyph_mask(second, RECORD_DIGIT_LEFT + GLYPH_SIZE, STATUS_TOP, SNAKE), zero);
    EXPECT_EQ(glyph_mask(second, SCORE_DIGIT_LEFT, STATUS_TOP, SNAKE), zero);
    EXPECT_EQ(glyph_mask(second, SCORE_DIGIT_LEFT + GLYPH_SIZE, STATUS_TOP, SNAKE), 0u);
    const std::vector<Point> second_squares = find_squares(second, SNAKE);
    ASSERT_EQ(second_squares.size(), 1u) << squares_text(second_squares) << "\n"
                                         << game.screenshot("second_start");
    EXPECT_EQ(second_squares[0], (Point{320, start_row(first.games)}))
        << squares_text(second_squares);

    std::string wall_trace;
    ASSERT_TRUE(drive_into_wall(game, SNAKE, /*moving=*/false, WALL_TIMEOUT, &wall_trace))
        << "no end-of-game screen after driving into the wall: " << wall_trace << "\n"
        << game.screenshot("second_wall");
    const Frame not_beaten = game.capture();
    ASSERT_TRUE(game_over_shown(not_beaten)) << game.screenshot("second_game_over");
    EXPECT_TRUE(record_not_beaten_line_shown(not_beaten))
        << "no green \"VOUS N'AVEZ PAS PU BATTRE LE RECORD !\"\n"
        << game.screenshot("not_beaten");
    EXPECT_FALSE(red_n_present(not_beaten)) << "the NEW RECORD banner is drawn\n"
                                            << game.screenshot("not_beaten");
    // "Votre score est de : 0".
    EXPECT_EQ(glyph_mask(not_beaten, FINAL_SCORE_DIGIT_LEFT, FINAL_SCORE_ROW, colour::YELLOW), zero)
        << game.screenshot("final_score");
    EXPECT_EQ(glyph_mask(not_beaten, FINAL_SCORE_DIGIT_LEFT + GLYPH_SIZE, FINAL_SCORE_ROW,
                         colour::YELLOW),
              0u);

    leave_game_over(game);
    if (HasFatalFailure()) return;
    EXPECT_EQ(game.read_file("scores.txt").value_or("(missing)"), "10");

    // The window's close button ends the game with status 0, the record kept.
    game.close_window();
    const ExitResult result = game.wait_for_exit(EXIT_TIMEOUT);
    EXPECT_TRUE(result.exited && result.status == 0) << to_string(result);
    EXPECT_EQ(game.read_file("scores.txt").value_or("(missing)"), "10");
}

}  // namespace
