// Getting from screen to screen as a player does, with the pointer and the
// keyboard, and working the arrows of the options screen one step at a time.
//
// The menu acts in every frame in which the left button is down over a
// button, and so does the options screen over an arrow: a click is a press
// held until the screen shows its effect, then a release. The options
// screen draws a frame every 120 ms or more, so a press released as soon as
// the effect shows acts in one frame only.
#pragma once

#include <functional>
#include <string>

#include "harness.h"

namespace e2e {

// Points of the menu buttons that lie on no arrow or value of the options
// screen, so that a press held on into the next screen does nothing there.
constexpr int PLAY_CLICK_X = 300;
constexpr int PLAY_CLICK_Y = 140;
constexpr int OPTIONS_CLICK_X = 200;
constexpr int OPTIONS_CLICK_Y = 260;

// From the main menu: clicks the options button and waits for the options
// screen, whose first frame sees the button already released. On failure
// `why` tells what was seen.
bool open_options(GameUnderX &game, milliseconds timeout, std::string *why);
// ESC, held until the main menu is back (from the options screen or the
// end-of-game screen).
bool escape_to_main_menu(GameUnderX &game, milliseconds timeout);
// From the options screen: parks the pointer, then ESC until the menu is
// back. The library puts back what lay under its arrow in the frame before
// each time it draws the arrow, so where the pointer stays still the menu
// would keep a patch of the options screen: parked at PARK_X, PARK_Y, that
// patch covers nothing the menu is read by.
bool leave_options(GameUnderX &game, milliseconds timeout);
// From the main menu: clicks the play button and waits for the play screen.
// The pointer stays where it is afterwards: moved while a game runs, the
// library would draw its arrow into the play frames.
bool start_playing(GameUnderX &game, milliseconds timeout, std::string *why);

// The pictures these functions hand on hold only the three rows of the
// options screen (x 80..340, y 165..310) and the start of its pulsing line,
// the rest black: so small a part of the window is read every 2 ms or so,
// and a press is released long before the next frame.
//
// Waits until the options screen has shown `frames` new frames, told by its
// pulsing line; the last picture seen is kept in `last`, when given.
bool wait_option_frames(GameUnderX &game, int frames, milliseconds timeout, Frame *last = nullptr);
// Presses the left button over (x, y) of the options screen, holds it until
// `changed` holds for a picture of the rows, and releases it. The pointer
// is moved there first, and seen drawn there, with the button up.
bool click_arrow_until(GameUnderX &game, int x, int y,
                       const std::function<bool(const Frame &)> &changed, milliseconds timeout);
// Holds the left button over (x, y) of the options screen for `frames`
// frames of the screen, and releases it.
bool hold_arrow(GameUnderX &game, int x, int y, int frames, milliseconds timeout);
// Steps the mode row with its arrows until it shows `mode` (1, 2 or 3).
bool choose_mode(GameUnderX &game, int mode, milliseconds timeout, std::string *why);

}  // namespace e2e
