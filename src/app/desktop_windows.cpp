// The game on the Windows desktop.
#include "app/desktop.h"

#include <allegro.h>
// After the library, as its documentation asks.
#include <winalleg.h>

void name_game_window() {}

// DirectInput already reads the keys by their place on the keyboard.
void read_keys_by_place() {}

// The box belongs to the game's window, which stays on the screen, black,
// after the graphics mode has been left: hidden, it no longer covers the box.
void clear_way_for_message() { ShowWindow(win_get_window(), SW_HIDE); }
