// The lifecycle on POSIX systems with an X display.
#include "app/lifecycle.h"

#include <allegro.h>
// After the library: Xlib's macros would clash with its names.
#include <X11/Xlib.h>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The signals by which a session, a terminal or a user asks the game to end.
constexpr int ENDING_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};

sigset_t ending_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : ENDING_SIGNALS) sigaddset(&set, s);
    return set;
}

// Runs on whichever thread found the connection gone; nothing can be drawn
// or shut down through it any more, so the game ends here. The record file
// is never left half-written: it is replaced whole, by a rename.
int display_lost(Display *) {
    static const char line[] = "snake: the connection to the display was lost\n";
    const ssize_t ignored = write(2, line, sizeof line - 1);
    (void)ignored;
    _exit(1);
}

void open_on_null_device(int fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return;
    // The lowest free descriptor is taken: the lower ones are open by now.
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened < 0 || opened == fd) return;
    dup2(opened, fd);
    close(opened);
}

// The process ids of the game's own children running `name`.
std::vector<pid_t> children_named(const char *name) {
    std::vector<pid_t> out;
    DIR *proc = opendir("/proc");
    if (!proc) return out;
    const long self = static_cast<long>(getpid());
    while (const dirent *entry = readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
        FILE *stat = std::fopen(path, "r");
        if (!stat) continue;
        // "pid (name) state parent ..."; a program name has no ')' here.
        char command[64] = "";
        char state = 0;
        long parent = 0;
        const int read = std::fscanf(stat, "%*d (%63[^)]) %c %ld", command, &state, &parent);
        std::fclose(stat);
        if (read == 3 && parent == self && std::strcmp(command, name) == 0)
            out.push_back(static_cast<pid_t>(pid));
    }
    closedir(proc);
    return out;
}

}  // namespace

// The library shows a message through the xmessage program and waits for
// it; a signal cuts that wait short, and the box would stay on the screen
// with nothing behind it.
void close_message_boxes() {
    for (pid_t box : children_named("xmessage")) {
        kill(box, SIGTERM);
        while (waitpid(box, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

void prepare_start() {
    for (int fd = 0; fd <= 2; fd++) open_on_null_device(fd);
    // The library sets no handler of its own; Xlib's default one exits,
    // which runs the library's shutdown on the thread that met the error.
    XSetIOErrorHandler(display_lost);
    // The threads the library starts inherit this mask: the ending signals
    // then reach the main thread alone, and cut short whatever it waits for.
    const sigset_t ending = ending_set();
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
}

void watch_ending_signals() {
    struct sigaction note;
    std::memset(&note, 0, sizeof note);
    note.sa_handler = note_ending_signal;
    note.sa_mask = ending_set();
    // No SA_RESTART: the main thread's wait for a message box returns.
    note.sa_flags = 0;
    for (int s : ENDING_SIGNALS) {
        // The library leaves SIGHUP alone: a game started under nohup keeps
        // ignoring it. SIGTERM and SIGINT always end the game, as the
        // library's own handler made them do.
        struct sigaction current;
        if (s == SIGHUP && sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        sigaction(s, &note, nullptr);
    }
    const sigset_t ending = ending_set();
    pthread_sigmask(SIG_UNBLOCK, &ending, nullptr);
}

// A normal exit, so the library's own shutdown runs.
void quit_game() { std::exit(0); }

void end_by_signal(int sig) {
    signal(sig, SIG_DFL);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, sig);
    pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
    raise(sig);
}
