// The game on the Windows desktop.
#include "app/desktop.h"

#include <allegro.h>
// After the library, as its documentation asks.
#include <winalleg.h>

void name_game_window() {}

// Never a Wayland session, even under Wine, which hands on the variables of
// the desktop around it: the mode stays the one of every Windows start.
bool in_wayland_session() { return false; }

// DirectInput already reads the keys by their place on the keyboard.
void read_keys_by_place() {}

// The box belongs to the game's window, which stays on the screen, black,
// after the graphics mode has been left: hidden, it no longer covers the box.
void clear_way_for_message() { ShowWindow(win_get_window(), SW_HIDE); }
