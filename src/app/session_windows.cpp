// The session on Windows. A GUI program starts without standard streams,
// which the C runtime copes with, and there is no X display to lose: what
// remains is SIGINT and SIGTERM, which the C runtime delivers (SIGINT on a
// thread of its own, for a Ctrl+C in a console the game was started from).
#include "app/session.h"

#include <allegro.h>
// After the library, as its documentation asks.
#include <winalleg.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// The first ending signal received and not yet acted on; 0 when none.
volatile std::sig_atomic_t end_signal = 0;

// Only notes the signal: the main thread may be anywhere inside the
// library, so everything else waits for end_session_if_asked.
void note_end_signal(int sig) {
    if (end_signal == 0) end_signal = sig;
    // The C runtime puts the default action back before calling a handler.
    std::signal(sig, note_end_signal);
}

}  // namespace

void open_session() {}

// Never a Wayland session, even under Wine, which hands on the variables of
// the desktop around it: the mode stays the one of every Windows start.
bool in_wayland_session() { return false; }

// DirectInput already reads the keys by their place on the keyboard.
void read_keys_by_place() {}

// The box belongs to the game's window, which stays on the screen, black,
// after the graphics mode has been left: hidden, it no longer covers the box.
void clear_way_for_message() { ShowWindow(win_get_window(), SW_HIDE); }

void watch_session() {
    std::signal(SIGINT, note_end_signal);
    std::signal(SIGTERM, note_end_signal);
}

void end_session_if_asked() {
    const int sig = end_signal;
    if (sig == 0) return;
    allegro_exit();
    std::fflush(nullptr);
    // The C runtime's own ending for the signal; should it return, the
    // status still tells which signal it was.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    std::_Exit(128 + sig);
}
