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

// ---- play screen with two snakes (two players, or against the computer) ----
// The magenta bottom status row: "SCORE : %d" from x = 30 on row 470.
constexpr int STATUS2_TOP = 470;
constexpr int STATUS2_BOTTOM = 477;
constexpr int SCORE2_DIGIT_LEFT = 30 + 8 * 8;

// ---- options screen ----
// The three rows (colour, mode, sound): each has a left arrow, a green
// value frame from x = 250 to 300 and a right arrow; the rows' frames
// begin at y = 165, 225 and 285 and are 20 pixels high.
enum OptionRow { COLOUR_ROW = 0, MODE_ROW = 1, SOUND_ROW = 2 };
constexpr int OPTION_ROW_COUNT = 3;
int option_row_top(int row);
// Points inside the mouse areas of the arrows, where the pointer's picture,
// hanging down and right from its tip, covers no value.
constexpr int LEFT_ARROW_X = 234;   // area 230..245
constexpr int RIGHT_ARROW_X = 315;  // area 305..335
int arrow_y(int row);
// The colour preview, a filled box inside the colour row's frame.
constexpr int PREVIEW_LEFT = 257;
constexpr int PREVIEW_TOP = 170;
constexpr int PREVIEW_RIGHT = 292;
constexpr int PREVIEW_BOTTOM = 178;

// The three green value frames, seen on all four sides.
bool options_shown(const Frame &frame);
// Every pixel of the colour preview shows `wanted`.
bool preview_is(const Frame &frame, Rgb wanted);
// The mode value as read from the blue text in its frame: 1 (" 1 J"),
// 2 (" 2 J"), 3 ("  I.A "), or 0 when it reads as none of them. The
// letters are compared with the same letters of the yellow row labels.
int mode_shown(const Frame &frame);
// The sound value: 1 (" OUI "), 0 (" NON ") or -1 when it reads as neither.
int sound_shown(const Frame &frame);
// How bright the pulsing ESC line at the bottom is: the largest green
// channel among its first letters, 0 when none is lit. It changes in every
// frame, so it also tells that a new frame has been shown.
int pulse_brightness(const Frame &frame);
// True when every lit pixel of those letters is a pure yellow (red as
// strong as green, no blue), as makecol(level, level, 0) gives.
bool pulse_is_yellow(const Frame &frame);

// ---- end-of-game screen ----
// The dark red outline of its box, (150, 100)-(500, 300).
bool game_over_shown(const Frame &frame);
// The NEW RECORD banner on row 120: a red N, green E, blue W, yellow R.
bool new_record_banner_shown(const Frame &frame);
// Any red pixel of the banner's " N " (the letter's cell is x 168..175).
bool red_n_present(const Frame &frame);
// The green "VOUS N'AVEZ PAS PU BATTRE LE RECORD !" on row 120 from x 160.
bool record_not_beaten_line_shown(const Frame &frame);
// The score lines of a game with two snakes: "Le score du joueur 1 est : %d"
// on row 150 and "Le score du joueur 2 est : %d" on row 180, both from
// x = 160, the digits 27 characters in.
constexpr int PLAYER1_SCORE_ROW = 150;
constexpr int PLAYER2_SCORE_ROW = 180;
constexpr int PLAYER_SCORE_DIGIT_LEFT = 160 + 27 * GLYPH_SIZE;
// Lit pixels of `wanted` on the line's text, up to its digits.
int score_line_pixels(const Frame &frame, int row, Rgb wanted);

}  // namespace e2e
