// Which screen the game shows, told from a few of its pixels.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "harness.h"

namespace e2e {

// ---- main menu: four buttons with one-pixel frames ----
enum MenuButton { PLAY_BUTTON = 0, OPTIONS_BUTTON = 1, CREDITS_BUTTON = 2, QUIT_BUTTON = 3 };
constexpr int BUTTON_COUNT = 4;
constexpr int BUTTON_LEFT = 180;
constexpr int BUTTON_RIGHT = 435;
constexpr int BUTTON_HEIGHT = 76;  // the bottom line lies 76 rows below the top one
int button_top(int button);

// Points on the four lines of a button's frame, none near its corners.
std::vector<std::pair<int, int>> button_frame_points(int button);
// True when every point of the frame shows `wanted`.
bool button_frame_is(const Frame &frame, int button, Rgb wanted);
// The menu: every frame is green or blue (blue under the pointer).
bool menu_shown(const Frame &frame);
// The menu with no button under the pointer: all four frames green.
bool menu_at_rest(const Frame &frame);

// ---- text in the library's 8x8 font ----
// Which pixels of the character cell with top-left corner (x, y) show
// `wanted`, one bit per pixel: equal masks are the same character in the
// same colour, an empty mask is a blank (or another colour).
uint64_t glyph_mask(const Frame &frame, int x, int y, Rgb wanted);
constexpr int GLYPH_SIZE = 8;

// ---- the library's pointer, drawn into the frames of the menu ----
// The white arrow with a black outline whose tip is at the mouse position.
bool pointer_drawn_at(const Frame &frame, int x, int y);
// Moves the pointer (verified with the X server) and waits until the game
// draws its arrow there. While the library starts, it takes pointer motion
// as relative moves and then puts the pointer back where its own arrow is,
// so a move made then is repeated until the game shows it.
bool move_pointer_seen(GameUnderX &game, int x, int y, milliseconds timeout);

// ---- play screen ----
// The yellow double border: outlines at 48 and 50 with a black gap at 49,
// seen on at least three of the four sides (a snake square or the apple
// may cover one of them).
bool play_screen_shown(const Frame &frame);
// The rows of the top status line holding " SCORE : %d" and "RECORD : %d".
constexpr int STATUS_TOP = 0;
constexpr int STATUS_BOTTOM = 7;
constexpr int SCORE_LEFT = 30;
constexpr int SCORE_RIGHT = 130;
constexpr int RECORD_LEFT = 540;
constexpr int RECORD_RIGHT = 639;

// ---- end-of-game screen ----
// The dark red outline of its box, (150, 100)-(500, 300).
bool game_over_shown(const Frame &frame);
// The NEW RECORD banner on row 120: a red N, green E, blue W, yellow R.
bool new_record_banner_shown(const Frame &frame);
// Any red pixel of the banner's " N " (the letter's cell is x 168..175).
bool red_n_present(const Frame &frame);
// The green "VOUS N'AVEZ PAS PU BATTRE LE RECORD !" on row 120 from x 160.
bool record_not_beaten_line_shown(const Frame &frame);

}  // namespace e2e
