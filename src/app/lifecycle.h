// How the game starts and ends against the system around it: the standard
// streams it was given, the signals that ask it to end, and the display it
// runs on. The signal core is written once (lifecycle.cpp); what differs
// between systems sits behind the few calls at the end of this header, in
// lifecycle_posix.cpp and lifecycle_windows.cpp (which also hold
// prepare_start and watch_ending_signals).
#pragma once

// The very first call of the program, before the library starts.
// Standard descriptors (0, 1, 2) that whoever started the game left closed
// are opened on the null device, so that nothing opened later (the display
// connection, the sound library's files) takes one of them and gets the
// warnings written to standard error. A lost connection to the display
// ends the game at once with status 1 and one line on standard error,
// instead of the display library's exit running the library's shutdown on
// its input thread while the main loop goes on. The ending signals are held
// back from the threads the library is about to start.
void prepare_start();

// Once the library, its threads and the graphics mode have started: the
// ending signals (SIGTERM, SIGINT, and SIGHUP where there is one) are from
// now on only noted, in place of the library's own handler (which shuts the
// library down from inside the signal, or aborts when the signal lands
// while the screen is being copied), and are acted on by end_game_if_asked.
void watch_ending_signals();

// The window's close button: noted on the library's thread, acted on by
// end_game_if_asked, which then ends the game as QUITTER does (quit_game).
void note_close_button();

// Called where the main thread stands between library calls: once per
// frame (present_frame: every screen draws at least 20 frames a second) and
// around a message box. When the close button was clicked, ends the game
// with status 0. When an ending signal came, closes the message box the
// library may still be showing, shuts the library down and ends the game as
// killed by that signal; otherwise returns at once.
void end_game_if_asked();

// The signal handler of both systems: notes the first ending signal and
// nothing else, since the main thread may be anywhere inside the library,
// holding its locks.
void note_ending_signal(int sig);

// What each system does for the core, in its platform file.
// Ends the game with status 0: QUITTER and the close button. Nothing of the
// game's is left to write (the record is saved and closed at each death).
// POSIX systems run the library's shutdown, which puts back a display mode
// the player chose for full screen; Windows flushes the C streams and ends
// the process at once, without the library's shutdown: run from this
// thread, it takes the window back from the library's window thread and
// may wait on that thread for ever, while Windows itself puts back any
// display mode the process changed.
[[noreturn]] void quit_game();
// Closes a message box the library is still showing, if any.
void close_message_boxes();
// Delivers `sig` to the game with its default action: ends the process.
void end_by_signal(int sig);
