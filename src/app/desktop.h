// How the game fits the desktop it runs on: its window's name and icon,
// keys read by their place, and the start-up message box in front.
// desktop_posix.cpp holds the X11 side, desktop_windows.cpp the Windows one.
#pragma once

// Before allegro_init, which makes the window: under X11 the window is
// named for the desktop (WM_CLASS "snake-game", as the desktop entry's
// StartupWMClass) and carries the game's own icon. Windows takes the icon
// built into snake.exe.
void name_game_window();

// After the library has started, before the keyboard: the letter keys are
// read by their place on the keyboard, as the library does on Windows, so
// that player 2's W, A, S, D are the keys a US keyboard has there whatever
// the layout (Z, Q, S, D on a French one).
void read_keys_by_place();

// Just before the start-up message box: nothing of the game's stays in
// front of the box, which the game then waits on.
void clear_way_for_message();
