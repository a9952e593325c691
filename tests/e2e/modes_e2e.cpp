// The two modes with a second snake, chosen on the options screen and
// played through the window: two players on one keyboard (arrow keys and
// the keys in the places of W/A/S/D, here on a French keyboard; half steps
// of 5 pixels, both score lines at the end), and one player against the
// computer, whose magenta snake finds an apple by itself.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "harness.h"
#include "navigation.h"
#include "screen_reading.h"
#include "steering.h"

namespace {

using namespace e2e;
using clock = std::chrono::steady_clock;

const milliseconds SCREEN_TIMEOUT(10000);
const milliseconds POINTER_TIMEOUT(10000);
const milliseconds DRIVE_TIMEOUT(10000);
const milliseconds COMPUTER_TIMEOUT(60000);
const milliseconds ONE_GAME_TIMEOUT(20000);

// Player 1's colour once the options screen has been shown: its first
// frame applies the colour row's start value, red.
const Rgb PLAYER1 = colour::RED;
const Rgb PLAYER2 = colour::MAGENTA;
// In two-player mode the snakes move by half steps of 5 pixels.
constexpr int HALF_STEP = 5;

std::string squares_text(const std::vector<Point> &squares) {
    std::string out;
    for (const Point &p : squares)
        out += " (" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
    return out.empty() ? " none" : out;
}

bool playing(const Frame &f) { return play_screen_shown(f) && !game_over_shown(f); }

// The head of a snake that goes one way: its square farthest that way. (A
// snake that has eaten on its way has more squares, its body 5 pixels
// apart.)
enum Way { UP, LEFT, RIGHT };
std::optional<Point> leading(const std::vector<Point> &squares, Way way) {
    std::optional<Point> head;
    for (const Point &p : squares) {
        const bool further = !head || (way == UP && p.y < head->y) ||
                             (way == LEFT && p.x < head->x) || (way == RIGHT && p.x > head->x);
        if (further) head = p;
    }
    return head;
}

// The glyphs of a number written from `x` on `row` in `colour`, up to the
// first blank cell (at most four digits).
std::vector<uint64_t> digits_at(const Frame &frame, int x, int row, Rgb colour) {
    std::vector<uint64_t> out;
    for (int i = 0; i < 4; i++) {
        const uint64_t g = glyph_mask(frame, x + i * GLYPH_SIZE, row, colour);
        if (!g) break;
        out.push_back(g);
    }
    return out;
}

// No square of `snake` in the band of the score line on `row`.
bool line_clear(const Frame &frame, int row, Rgb snake) {
    for (const Point &p : find_squares(frame, snake, HALF_STEP)) {
        const bool across_x = p.x + SQUARE_SIZE > 160 && p.x < 160 + 30 * GLYPH_SIZE;
        const bool across_y = p.y + SQUARE_SIZE > row && p.y < row + GLYPH_SIZE;
        if (across_x && across_y) return false;
    }
    // A square the box's left side cuts is no longer solid: any of the
    // snake's colour between that side and the text is one.
    for (int y = row - SQUARE_SIZE + 1; y < row + GLYPH_SIZE; y++)
        for (int x = 151; x < 160; x++)
            if (frame.is(x, y, snake)) return false;
    return true;
}

class modes_e2e : public ::testing::Test {
protected:
    void SetUp() override {
        game_.install_datafile();
        // A French keyboard: player 2 steers with the keys in the places of
        // W, A, S, D on a US keyboard, marked Z, Q, S, D here.
        ASSERT_EQ(std::system(("setxkbmap -display :" + std::to_string(game_.display_number()) +
                               " fr").c_str()), 0);
        ASSERT_TRUE(game_.start_game_with_window()) << "no game window; game log:\n"
                                                    << game_.game_log();
        ASSERT_TRUE(game_.wait_until(menu_shown, SCREEN_TIMEOUT)) << game_.screenshot("no_menu");
        ASSERT_TRUE(move_pointer_seen(game_, PARK_X, PARK_Y, POINTER_TIMEOUT))
            << game_.screenshot("park");
    }

    void choose(int mode) {
        std::string why;
        ASSERT_TRUE(open_options(game_, SCREEN_TIMEOUT, &why)) << why;
        ASSERT_TRUE(choose_mode(game_, mode, SCREEN_TIMEOUT, &why)) << why;
        ASSERT_TRUE(leave_options(game_, SCREEN_TIMEOUT)) << game_.screenshot("leave_options");
    }

    // Holds the keys until the end-of-game screen shows, handing every play
    // frame seen meanwhile to `watch`; the keys are released at the end.
    bool hold_until_game_over(std::initializer_list<unsigned long> keys,
                              const std::function<void(const Frame &)> &watch, Frame *end) {
        for (unsigned long k : keys) game_.press_key(k);
        const bool ended = game_.wait_until(
            [&](const Frame &f) {
                if (game_over_shown(f)) return true;
                if (playing(f)) watch(f);
                return false;
            },
            DRIVE_TIMEOUT, end, milliseconds(5));
        for (unsigned long k : keys) game_.release_key(k);
        return ended;
    }

    // The end-of-game screen of a game with two snakes: both score lines,
    // each in its player's colour and showing the score of that player's
    // status row (still visible around the box), and none of the
    // one-player texts.
    void expect_two_score_lines(const Frame &end, uint64_t zero, const char *what) {
        ASSERT_TRUE(game_over_shown(end)) << what << "\n" << game_.screenshot(what);
        EXPECT_GT(score_line_pixels(end, PLAYER1_SCORE_ROW, PLAYER1), 150)
            << what << ": no \"Le score du joueur 1 est : \" in player 1's colour\n"
            << game_.screenshot(what);
        EXPECT_GT(score_line_pixels(end, PLAYER2_SCORE_ROW, PLAYER2), 150)
            << what << ": no \"Le score du joueur 2 est : \" in magenta\n"
            << game_.screenshot(what);
        // The box is drawn over the last play frame: a square of a snake
        // left under a line of that snake's colour blurs its letters, and
        // such a line is not read letter by letter.
        const bool clear1 = line_clear(end, PLAYER1_SCORE_ROW, PLAYER1);
        const bool clear2 = line_clear(end, PLAYER2_SCORE_ROW, PLAYER2);
        if (!clear1 || !clear2)
            std::cout << "[ e2e      ] " << what << ": a snake lies under a score line\n";
        // The two lines say the same words: the same letters, in two colours.
        for (int i = 0; i < 27 && clear1 && clear2; i++) {
            const int x = 160 + i * GLYPH_SIZE;
            if (i == 19) continue;  // the player's number
            ASSERT_EQ(glyph_mask(end, x, PLAYER1_SCORE_ROW, PLAYER1),
                      glyph_mask(end, x, PLAYER2_SCORE_ROW, PLAYER2))
                << what << ": the score lines differ at character " << i << "\n"
                << game_.screenshot(what);
        }
        if (clear1 && clear2) {
            EXPECT_NE(glyph_mask(end, 160 + 19 * GLYPH_SIZE, PLAYER1_SCORE_ROW, PLAYER1),
                      glyph_mask(end, 160 + 19 * GLYPH_SIZE, PLAYER2_SCORE_ROW, PLAYER2))
                << what << ": both lines name the same player\n"
                << game_.screenshot(what);
        }

        const std::vector<uint64_t> line1 =
            digits_at(end, PLAYER_SCORE_DIGIT_LEFT, PLAYER1_SCORE_ROW, PLAYER1);
        const std::vector<uint64_t> line2 =
            digits_at(end, PLAYER_SCORE_DIGIT_LEFT, PLAYER2_SCORE_ROW, PLAYER2);
        const std::vector<uint64_t> row1 =
            digits_at(end, SCORE_LEFT + 9 * GLYPH_SIZE, STATUS_TOP, PLAYER1);
        const std::vector<uint64_t> row2 = digits_at(end, SCORE2_DIGIT_LEFT, STATUS2_TOP, PLAYER2);
        if (clear1) {
            EXPECT_FALSE(line1.empty()) << what << ": no score on line 1\n"
                                        << game_.screenshot(what);
            EXPECT_EQ(line1, row1) << what << ": line 1 does not show player 1's score\n"
                                   << game_.screenshot(what);
        }
        if (clear2) {
            EXPECT_EQ(line2, row2) << what << ": line 2 does not show player 2's score\n"
                                   << game_.screenshot(what);
        }
        // Nobody passes an apple on the ways driven here, unless it happens
        // to lie there: then the status rows say so.
        if (clear1 && row1.size() == 1) {
            EXPECT_EQ(line1.front(), zero) << what << ": " << game_.screenshot(what);
        }
        if (clear2 && row2.size() == 1) {
            EXPECT_EQ(line2.front(), zero) << what << ": " << game_.screenshot(what);
        }
        // No record texts in a game with two snakes.
        EXPECT_EQ(end.count(160, 120, 460, 127, colour::GREEN), 0)
            << what << ": a record line is drawn\n"
            << game_.screenshot(what);
        EXPECT_FALSE(red_n_present(end)) << what << ": the NEW RECORD banner is drawn\n"
                                         << game_.screenshot(what);
        EXPECT_EQ(end.count(160, PLAYER1_SCORE_ROW, 400, PLAYER1_SCORE_ROW + 7, colour::YELLOW), 0)
            << what << ": \"Votre score est de\" is drawn\n"
            << game_.screenshot(what);
    }

    GameUnderX game_;
};

TEST_F(modes_e2e, TwoPlayersMeetingEndTheGameWithBothScores) {
    choose(2);
    if (HasFatalFailure()) return;
    std::string why;

    // ---- first game: player 2 drives up into player 1, who stands still ----
    ASSERT_TRUE(start_playing(game_, SCREEN_TIMEOUT, &why)) << why;
    const Frame start = game_.capture();
    // Start-up reset player 1 (first reset: row 100), then player 2 (row 240).
    const std::vector<Point> p1_start = find_squares(start, PLAYER1, HALF_STEP);
    const std::vector<Point> p2_start = find_squares(start, PLAYER2, HALF_STEP);
    ASSERT_EQ(p1_start, (std::vector<Point>{{320, 100}})) << squares_text(p1_start) << "\n"
                                                          << game_.screenshot("start");
    ASSERT_EQ(p2_start, (std::vector<Point>{{320, 240}})) << squares_text(p2_start) << "\n"
                                                          << game_.screenshot("start");
    // Two status rows, the bottom one magenta; no record in this mode.
    EXPECT_GT(start.count(SCORE_LEFT, STATUS2_TOP, SCORE_RIGHT, STATUS2_BOTTOM, PLAYER2), 0)
        << game_.screenshot("bottom_row");
    EXPECT_EQ(start.count_not_black(RECORD_LEFT, STATUS_TOP, RECORD_RIGHT, STATUS_BOTTOM), 0)
        << game_.screenshot("no_record");
    const uint64_t zero = glyph_mask(start, SCORE2_DIGIT_LEFT, STATUS2_TOP, PLAYER2);
    ASSERT_NE(zero, 0u) << game_.screenshot("score_digit");

    // Z held (W's place): player 2's new direction takes effect in the second
    // half step of a tick, so at the end of every tick it stands an odd number
    // of half steps from where it started. A, in Q's place, must not steer.
    std::vector<Point> p2_seen;
    std::string p1_moved;
    Frame end;
    ASSERT_TRUE(hold_until_game_over(
        {XK_z, XK_a},
        [&](const Frame &f) {
            const std::optional<Point> head = leading(find_squares(f, PLAYER2, HALF_STEP), UP);
            if (head && *head != p2_start.front()) p2_seen.push_back(*head);
            const std::vector<Point> p1 = find_squares(f, PLAYER1, HALF_STEP);
            if (p1 != p1_start && p1_moved.empty()) p1_moved = squares_text(p1);
        },
        &end))
        << "the snakes did not meet; player 2 was seen at" << squares_text(p2_seen) << "\n"
        << game_.screenshot("no_meeting");
    EXPECT_TRUE(p1_moved.empty()) << "player 1 moved without a key:" << p1_moved;
    EXPECT_GE(p2_seen.size(), 3u) << "player 2 was seen at" << squares_text(p2_seen);
    for (const Point &p : p2_seen) {
        EXPECT_EQ(p.x, 320) << squares_text(p2_seen);
        EXPECT_EQ(p.y % 10, 5) << "player 2 after a whole tick at" << squares_text({p});
        EXPECT_TRUE(p.y > 100 && p.y < 240) << squares_text({p});
    }
    expect_two_score_lines(end, zero, "player2_meets_player1");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(escape_to_main_menu(game_, SCREEN_TIMEOUT)) << game_.screenshot("escape");
    EXPECT_FALSE(game_.file_exists("scores.txt")) << "a game of two players wrote the record";

    // ---- second game: the end reset player 2 first (row 100), then
    // player 1 (row 240); player 1 drives up into player 2 ----
    ASSERT_TRUE(start_playing(game_, SCREEN_TIMEOUT, &why)) << why;
    const Frame second = game_.capture();
    const std::vector<Point> p1_second = find_squares(second, PLAYER1, HALF_STEP);
    const std::vector<Point> p2_second = find_squares(second, PLAYER2, HALF_STEP);
    ASSERT_EQ(p1_second, (std::vector<Point>{{320, 240}})) << squares_text(p1_second) << "\n"
                                                           << game_.screenshot("second_start");
    ASSERT_EQ(p2_second, (std::vector<Point>{{320, 100}})) << squares_text(p2_second) << "\n"
                                                           << game_.screenshot("second_start");
    // The up arrow: player 1's direction counts for both half steps.
    std::vector<Point> p1_seen;
    std::string p2_moved;
    ASSERT_TRUE(hold_until_game_over(
        {XK_Up},
        [&](const Frame &f) {
            const std::optional<Point> head = leading(find_squares(f, PLAYER1, HALF_STEP), UP);
            if (head && *head != p1_second.front()) p1_seen.push_back(*head);
            // Player 1 is drawn over player 2, and hides it once they touch.
            const std::vector<Point> p2 = find_squares(f, PLAYER2, HALF_STEP);
            if (!p2.empty() && p2 != p2_second && p2_moved.empty()) p2_moved = squares_text(p2);
        },
        &end))
        << "the snakes did not meet; player 1 was seen at" << squares_text(p1_seen) << "\n"
        << game_.screenshot("no_meeting");
    EXPECT_TRUE(p2_moved.empty()) << "player 2 moved without a key:" << p2_moved;
    EXPECT_GE(p1_seen.size(), 3u) << "player 1 was seen at" << squares_text(p1_seen);
    for (const Point &p : p1_seen) {
        EXPECT_EQ(p.x, 320) << squares_text(p1_seen);
        EXPECT_EQ(p.y % 10, 0) << "player 1 after a whole tick at" << squares_text({p});
        EXPECT_TRUE(p.y > 100 && p.y < 240) << squares_text({p});
    }
    expect_two_score_lines(end, zero, "player1_meets_player2");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(escape_to_main_menu(game_, SCREEN_TIMEOUT)) << game_.screenshot("escape");
    EXPECT_FALSE(game_.file_exists("scores.txt")) << "a game of two players wrote the record";

    // ---- third game: both halves of the keyboard held at once, player 1
    // to the left on row 240, player 2 to the right on row 100; player 1
    // reaches its wall first ----
    ASSERT_TRUE(start_playing(game_, SCREEN_TIMEOUT, &why)) << why;
    bool both_moved = false;
    std::string wrong;
    ASSERT_TRUE(hold_until_game_over(
        {XK_Left, XK_d},
        [&](const Frame &f) {
            const std::optional<Point> p1 = leading(find_squares(f, PLAYER1, HALF_STEP), LEFT);
            const std::optional<Point> p2 = leading(find_squares(f, PLAYER2, HALF_STEP), RIGHT);
            if (p1 && (p1->y != 240 || p1->x % 10 != 0)) wrong += " player 1" + squares_text({*p1});
            if (p2 && (p2->y != 100 || (p2->x != 320 && p2->x % 10 != 5)))
                wrong += " player 2" + squares_text({*p2});
            if (p1 && p2 && p1->x < 320 && p2->x > 320) both_moved = true;
        },
        &end))
        << game_.screenshot("no_end");
    EXPECT_TRUE(both_moved) << "the two snakes were never seen moving together\n"
                            << game_.screenshot("both");
    EXPECT_TRUE(wrong.empty()) << "squares off their ways:" << wrong;
    expect_two_score_lines(end, zero, "wall_with_both_keys");
    if (HasFatalFailure()) return;
    ASSERT_TRUE(escape_to_main_menu(game_, SCREEN_TIMEOUT)) << game_.screenshot("escape");
    EXPECT_FALSE(game_.file_exists("scores.txt")) << "a game of two players wrote the record";
}

TEST_F(modes_e2e, ComputerSnakeFindsAnAppleByItself) {
    choose(3);
    if (HasFatalFailure()) return;

    // The computer's snake may die on its way (it runs into a wall when the
    // apple lies straight behind it, or into player 1): a new game then
    // gets another apple.
    const auto deadline = clock::now() + COMPUTER_TIMEOUT;
    std::string story;
    bool ate = false;
    bool moved_alone = false;
    uint64_t zero = 0;
    for (int game_number = 1; !ate && clock::now() < deadline; game_number++) {
        std::string why;
        ASSERT_TRUE(start_playing(game_, SCREEN_TIMEOUT, &why)) << why;
        const Frame start = game_.capture();
        const std::vector<Point> p1_start = find_squares(start, PLAYER1);
        ASSERT_EQ(p1_start.size(), 1u) << squares_text(p1_start) << "\n"
                                       << game_.screenshot("start");
        // The bottom row is the computer's, with no record in the top row.
        zero = glyph_mask(start, SCORE2_DIGIT_LEFT, STATUS2_TOP, PLAYER2);
        ASSERT_NE(zero, 0u) << game_.screenshot("bottom_row");
        EXPECT_EQ(start.count_not_black(RECORD_LEFT, STATUS_TOP, RECORD_RIGHT, STATUS_BOTTOM), 0)
            << game_.screenshot("no_record");
        story += "game " + std::to_string(game_number) + ": player 1 at" +
                 squares_text(p1_start) + ", player 2 from" +
                 squares_text(find_squares(start, PLAYER2)) + "; ";

        // No key is pressed: player 1 stands still, the computer steers.
        const auto game_deadline = clock::now() + ONE_GAME_TIMEOUT;
        std::vector<Point> p2_last = find_squares(start, PLAYER2);
        bool died = false;
        std::string p1_moved;
        Frame frame;
        const bool over = game_.wait_until(
            [&](const Frame &f) {
                if (game_over_shown(f)) {
                    died = true;
                    return true;
                }
                if (!playing(f)) return false;
                const std::vector<Point> p1 = find_squares(f, PLAYER1);
                if (p1 != p1_start && p1_moved.empty()) p1_moved = squares_text(p1);
                const std::vector<Point> p2 = find_squares(f, PLAYER2);
                if (!p2.empty() && p2 != p2_last) {
                    moved_alone = true;
                    p2_last = p2;
                }
                // "SCORE : 10": a new first digit, the 0 moved along.
                const uint64_t first = glyph_mask(f, SCORE2_DIGIT_LEFT, STATUS2_TOP, PLAYER2);
                const uint64_t second =
                    glyph_mask(f, SCORE2_DIGIT_LEFT + GLYPH_SIZE, STATUS2_TOP, PLAYER2);
                if (first && first != zero && second == zero) ate = true;
                return ate;
            },
            std::chrono::duration_cast<milliseconds>(std::min(game_deadline, deadline) -
                                                     clock::now()),
            &frame);
        EXPECT_TRUE(p1_moved.empty()) << "player 1 moved without a key:" << p1_moved;
        if (ate) {
            story += "player 2 ate at" + squares_text(p2_last);
            // It has grown by one square: seen as two when neither a wall
            // (whose outlines are drawn over player 2) nor player 1 (drawn
            // over it) can hide one of them.
            const std::vector<Point> p2 = find_squares(frame, PLAYER2);
            bool in_the_open = playing(frame) && !p2.empty();
            for (const Point &p : p2) {
                in_the_open = in_the_open && p.x >= 70 && p.x <= 570 && p.y >= 70 && p.y <= 400;
                for (const Point &q : find_squares(frame, PLAYER1))
                    in_the_open = in_the_open && (std::abs(p.x - q.x) > 21 || std::abs(p.y - q.y) > 21);
            }
            if (in_the_open) {
                EXPECT_EQ(p2.size(), 2u) << story << "\n" << game_.screenshot("grown");
            }
            break;
        }
        if (!over) break;
        story += std::string(died ? "it died" : "no end") + " at" + squares_text(p2_last) + "\n";
        ASSERT_TRUE(escape_to_main_menu(game_, SCREEN_TIMEOUT)) << game_.screenshot("escape");
    }
    EXPECT_TRUE(moved_alone) << "the computer's snake never moved\n" << story;
    ASSERT_TRUE(ate) << "the computer's snake never reached an apple\n"
                     << story << game_.screenshot("computer");

    // Player 1 ends the game on a wall (unless the computer's snake ends it
    // first): the end-of-game screen shows both scores, the computer's
    // as its status row counted it.
    std::string trace;
    if (!game_.wait_until(game_over_shown, milliseconds(0))) {
        ASSERT_TRUE(drive_into_wall(game_, PLAYER1, /*moving=*/false, DRIVE_TIMEOUT, &trace))
            << trace << "\n"
            << game_.screenshot("wall");
    }
    Frame end;
    ASSERT_TRUE(game_.wait_until(game_over_shown, SCREEN_TIMEOUT, &end));
    expect_two_score_lines(end, zero, "computer_game_over");
    if (line_clear(end, PLAYER2_SCORE_ROW, PLAYER2)) {
        EXPECT_GE(digits_at(end, PLAYER_SCORE_DIGIT_LEFT, PLAYER2_SCORE_ROW, PLAYER2).size(), 2u)
            << "the computer's score line does not show its apple\n"
            << game_.screenshot("computer_score");
    }
    if (HasFatalFailure()) return;
    ASSERT_TRUE(escape_to_main_menu(game_, SCREEN_TIMEOUT)) << game_.screenshot("escape");
    EXPECT_FALSE(game_.file_exists("scores.txt"));
}

}  // namespace
