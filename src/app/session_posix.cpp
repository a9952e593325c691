// The session on POSIX systems with an X display.
#include "app/session.h"

#include <allegro.h>
// After the library: Xlib's macros would clash with its names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <xalleg.h>
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
#include <string>
#include <vector>

// The library's X11 window icon, an XPM it reads when it makes the window.
extern "C" void *allegro_icon;
// snake_icon_xpm: the picture program's 48x48 icon, written at build time.
#include "icon.xpm"

namespace {

// The signals by which a session, a terminal or a user asks the game to end.
constexpr int ENDING_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};

// The first ending signal received and not yet acted on; 0 when none.
volatile std::sig_atomic_t end_signal = 0;

sigset_t ending_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : ENDING_SIGNALS) sigaddset(&set, s);
    return set;
}

// Only notes the signal: the main thread may be anywhere inside the library,
// holding its locks, so everything else waits for end_session_if_asked.
void note_end_signal(int sig) {
    if (end_signal == 0) end_signal = sig;
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

// The library's scancodes of the keys a US keyboard has in XKB's places
// AD01.., AC01.. and AB01.., the three rows of letters.
const int ROW_AD[] = {KEY_Q, KEY_W, KEY_E, KEY_R, KEY_T, KEY_Y,
                      KEY_U, KEY_I, KEY_O, KEY_P, KEY_OPENBRACE, KEY_CLOSEBRACE};
const int ROW_AC[] = {KEY_A, KEY_S, KEY_D, KEY_F, KEY_G, KEY_H,
                      KEY_J, KEY_K, KEY_L, KEY_COLON, KEY_QUOTE};
const int ROW_AB[] = {KEY_Z, KEY_X, KEY_C, KEY_V, KEY_B,
                      KEY_N, KEY_M, KEY_COMMA, KEY_STOP, KEY_SLASH};

// The scancode of the key in the place XKB names `name` ("AD02"), or 0.
template <size_t N>
int scancode_in(const int (&row)[N], const char *name, char row_letter) {
    if (name[0] != 'A' || name[1] != row_letter || name[2] < '0' || name[2] > '9' ||
        name[3] < '0' || name[3] > '9')
        return 0;
    const size_t place = static_cast<size_t>((name[2] - '0') * 10 + (name[3] - '0'));
    return place >= 1 && place <= N ? row[place - 1] : 0;
}

}  // namespace

void open_session() {
    for (int fd = 0; fd <= 2; fd++) open_on_null_device(fd);
    // The library sets no handler of its own; Xlib's default one exits,
    // which runs the library's shutdown on the thread that met the error.
    XSetIOErrorHandler(display_lost);
    // The threads the library starts inherit this mask: the ending signals
    // then reach the main thread alone, and cut short whatever it waits for.
    const sigset_t ending = ending_set();
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    // Both are read when the library makes its window, in allegro_init.
    allegro_icon = snake_icon_xpm;
    xwin_set_window_name("snake-game", "snake-game");
}

bool in_wayland_session() {
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    const char *type = std::getenv("XDG_SESSION_TYPE");
    return (wayland && *wayland) || (type && std::strcmp(type, "wayland") == 0);
}

// The library maps each key by the letter it prints, and lets its [xkeymap]
// settings (keycodeN = scancode) override that whenever it reads the
// keyboard's mapping: every key of the three rows of letters is given there
// the scancode of its place. The keys' places and codes do not change with
// the layout.
void read_keys_by_place() {
    Display *display = XOpenDisplay(nullptr);
    if (!display) return;
    XkbDescPtr keyboard = XkbGetMap(display, 0, XkbUseCoreKbd);
    if (keyboard && XkbGetNames(display, XkbKeyNamesMask, keyboard) == Success) {
        std::string settings = "[xkeymap]\n";
        for (int code = keyboard->min_key_code; code <= keyboard->max_key_code; code++) {
            const char *name = keyboard->names->keys[code].name;
            int scancode = scancode_in(ROW_AD, name, 'D');
            if (!scancode) scancode = scancode_in(ROW_AC, name, 'C');
            if (!scancode) scancode = scancode_in(ROW_AB, name, 'B');
            if (scancode)
                settings += "keycode" + std::to_string(code) + " = " +
                            std::to_string(scancode) + "\n";
        }
        override_config_data(settings.c_str(), static_cast<int>(settings.size()));
    }
    if (keyboard) XkbFreeKeyboard(keyboard, 0, True);
    XCloseDisplay(display);
}

// The library's box is a program of its own (xmessage), shown over the
// desktop once the game has left its graphics mode.
void clear_way_for_message() {}

void watch_session() {
    struct sigaction note;
    std::memset(&note, 0, sizeof note);
    note.sa_handler = note_end_signal;
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

void end_session_if_asked() {
    const int sig = end_signal;
    if (sig == 0) return;
    close_message_boxes();
    // The window goes and the screen mode is put back, as at a normal end.
    allegro_exit();
    std::fflush(nullptr);
    // Ended as killed by the signal, as whoever sent it expects.
    signal(sig, SIG_DFL);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, sig);
    pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
    raise(sig);
    _exit(128 + sig);
}
