// How the game meets the system around it: the standard streams it was
// given, the signals that ask it to end, and the display it runs on.
// session_posix.cpp and session_windows.cpp keep the same promises, each as
// far as its system allows.
#pragma once

// The very first call of the program, before the library starts.
// Standard descriptors (0, 1, 2) that whoever started the game left closed
// are opened on the null device, so that nothing opened later (the display
// connection, the sound library's files) takes one of them and gets the
// warnings written to standard error. A lost connection to the display
// ends the game at once with status 1 and one line on standard error,
// instead of the display library's exit running the library's shutdown on
// its input thread while the main loop goes on. The ending signals are held
// back from the threads the library is about to start. Under X11 the
// game's window is named for the desktop (WM_CLASS "snake-game", as the
// desktop entry's StartupWMClass) and carries the game's own icon.
void open_session();

// True when the game runs inside a Wayland session, whose compositor gives
// a full-screen X window no keyboard. Never on Windows.
bool in_wayland_session();

// After the library has started, before the keyboard: the letter keys are
// read by their place on the keyboard, as the library does on Windows, so
// that player 2's W, A, S, D are the keys a US keyboard has there whatever
// the layout (Z, Q, S, D on a French one).
void read_keys_by_place();

// Just before the start-up message box: nothing of the game's stays in
// front of the box, which the game then waits on.
void clear_way_for_message();

// Once the library, its threads and the graphics mode have started:
// SIGTERM, SIGINT and SIGHUP are from now on only noted, in place of the
// library's own handler (which shuts the library down from inside the
// signal, or aborts when the signal lands while the screen is being
// copied), and are acted on by end_session_if_asked.
void watch_session();

// Called where the main thread stands between library calls: once per
// frame (present_frame: every screen draws at least 20 frames a second) and
// around a message box. When an ending signal came, closes the message box the
// library may still be showing, shuts the library down and ends the game as
// killed by that signal; otherwise returns at once.
void end_session_if_asked();
