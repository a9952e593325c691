// The lifecycle on Windows. A GUI program starts without standard streams,
// which the C runtime copes with, and there is no X display to lose: what
// remains is SIGINT and SIGTERM, which the C runtime delivers (SIGINT on a
// thread of its own, for a Ctrl+C in a console the game was started from).
#include "app/lifecycle.h"

#include <allegro.h>
// After the library, as its documentation asks.
#include <winalleg.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// The C runtime puts the default action back before calling a handler.
void note_and_rearm(int sig) {
    note_ending_signal(sig);
    std::signal(sig, note_and_rearm);
}

}  // namespace

void prepare_start() {}

void watch_ending_signals() {
    std::signal(SIGINT, note_and_rearm);
    std::signal(SIGTERM, note_and_rearm);
}

// The library's message box is modal and returns only when dismissed.
void close_message_boxes() {}

void quit_game() {
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), 0);
    std::_Exit(0);
}

void end_by_signal(int sig) {
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}
