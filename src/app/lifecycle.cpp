// The signal core, the same on every system.
#include "app/lifecycle.h"

#include <allegro.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {
// The first ending signal received and not yet acted on; 0 when none.
volatile std::sig_atomic_t ending_signal = 0;
// Set by the window's close button, on the library's own thread.
std::atomic<int> close_clicked{0};
}  // namespace

void note_close_button() { close_clicked.store(1); }

void note_ending_signal(int sig) {
    if (ending_signal == 0) ending_signal = sig;
}

void end_game_if_asked() {
    if (close_clicked.load()) quit_game();
    const int sig = ending_signal;
    if (sig == 0) return;
    close_message_boxes();
    // The window goes and the screen mode is put back, as at a normal end.
    allegro_exit();
    std::fflush(nullptr);
    // Ended as killed by the signal, as whoever sent it expects; should the
    // default action return, the status still tells which signal it was.
    end_by_signal(sig);
    std::_Exit(128 + sig);
}
