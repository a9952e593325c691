#include "harness.h"

#include "png_writer.h"

#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros would break its headers.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char **environ;

namespace e2e {

namespace {

using clock = std::chrono::steady_clock;

// Reading windows that come and go (the game's, xmessage's) may fail half
// way; such errors are expected and must not end the test program.
int ignore_x_error(Display *, XErrorEvent *) { return 0; }

void pause_for(milliseconds how_long) { std::this_thread::sleep_for(how_long); }

std::string sanitised(const std::string &name) {
    std::string out;
    for (char c : name) out += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return out.empty() ? std::string("game") : out;
}

std::string running_test_name() {
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return "game";
    return std::string(info->test_suite_name()) + "_" + info->name();
}

std::string temporary_root() {
    const char *tmp = std::getenv("TMPDIR");
    return (tmp && *tmp) ? tmp : "/tmp";
}

// The fields of /proc/<pid>/stat that tell a process's name and parent.
struct ProcessEntry {
    pid_t pid;
    pid_t parent;
    std::string name;
};

std::vector<ProcessEntry> list_processes() {
    std::vector<ProcessEntry> out;
    DIR *proc = opendir("/proc");
    if (!proc) return out;
    while (dirent *entry = readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        std::ifstream stat_file(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat_file, line)) continue;
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const size_t open = line.find('(');
        const size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        std::istringstream rest(line.substr(close + 1));
        std::string state;
        long parent = 0;
        rest >> state >> parent;
        if (state == "Z") continue;  // already ended, only waiting to be reaped
        out.push_back({static_cast<pid_t>(pid), static_cast<pid_t>(parent),
                       line.substr(open + 1, close - open - 1)});
    }
    closedir(proc);
    return out;
}

std::vector<std::string> command_line_of(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    std::string current;
    for (char c : all) {
        if (c == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) args.push_back(current);
    return args;
}

bool process_alive(pid_t pid) {
    for (const ProcessEntry &p : list_processes())
        if (p.pid == pid) return true;
    return false;
}

// Turns an X pixel value into 8-bit channels, whatever the masks of the visual.
struct ChannelMask {
    unsigned long mask;
    int shift;
    int bits;
};

ChannelMask channel_of(unsigned long mask) {
    ChannelMask c{mask, 0, 0};
    while (mask && !(mask & 1)) {
        mask >>= 1;
        c.shift++;
    }
    while (mask & 1) {
        mask >>= 1;
        c.bits++;
    }
    return c;
}

int channel_value(unsigned long pixel, const ChannelMask &c) {
    if (c.bits == 0) return 0;
    const unsigned long v = (pixel & c.mask) >> c.shift;
    if (c.bits >= 8) return static_cast<int>(v >> (c.bits - 8));
    return static_cast<int>(v * 255 / ((1ul << c.bits) - 1));
}

// An area of an X screen as a frame, each pixel read through the visual's
// masks; `column` and `row` pick which pixel of the area makes each pixel of
// the frame.
Frame read_area(Display *d, Window root, const Area &area, int width, int height,
                const std::function<int(int)> &column, const std::function<int(int)> &row) {
    XImage *image = XGetImage(d, root, area.x, area.y, static_cast<unsigned>(area.w),
                              static_cast<unsigned>(area.h), AllPlanes, ZPixmap);
    if (!image) return Frame();
    const ChannelMask red = channel_of(image->red_mask);
    const ChannelMask green = channel_of(image->green_mask);
    const ChannelMask blue = channel_of(image->blue_mask);
    std::vector<Rgb> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    const bool fast = image->bits_per_pixel == 32 && image->byte_order == LSBFirst;
    for (int y = 0; y < height; y++) {
        const int from_y = row(y);
        const char *line = image->data + static_cast<long>(from_y) * image->bytes_per_line;
        for (int x = 0; x < width; x++) {
            const int from_x = column(x);
            unsigned long value;
            if (fast) {
                const auto *b = reinterpret_cast<const unsigned char *>(line + from_x * 4);
                value = static_cast<unsigned long>(b[0]) | (static_cast<unsigned long>(b[1]) << 8) |
                        (static_cast<unsigned long>(b[2]) << 16) |
                        (static_cast<unsigned long>(b[3]) << 24);
            } else {
                value = XGetPixel(image, from_x, from_y);
            }
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                Rgb{channel_value(value, red), channel_value(value, green), channel_value(value, blue)};
        }
    }
    XDestroyImage(image);
    return Frame(width, height, std::move(pixels));
}

long floor_div(long a, long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Where the game puts its picture in a window of `w` x `h`, relative to it.
Area picture_in(int w, int h) {
    const int factor = std::min(w / GAME_WIDTH, h / GAME_HEIGHT);
    if (factor >= 1 && 4 * GAME_HEIGHT * factor >= 3 * h)
        return Area{(w - GAME_WIDTH * factor) / 2, (h - GAME_HEIGHT * factor) / 2,
                    GAME_WIDTH * factor, GAME_HEIGHT * factor};
    int pw = h * 4 / 3, ph = h;
    if (pw > w) {
        pw = w;
        ph = w * 3 / 4;
    }
    return Area{(w - pw) / 2, (h - ph) / 2, pw, ph};
}

// Every window below the root, depth first: the game's window may be framed
// by a window manager, or lie inside a parent of the library's own.
std::vector<Window> windows_below_root(Display *d) {
    std::vector<Window> all, pending{DefaultRootWindow(d)};
    while (!pending.empty()) {
        const Window w = pending.back();
        pending.pop_back();
        Window root_back = None, parent = None, *children = nullptr;
        unsigned int n = 0;
        if (XQueryTree(d, w, &root_back, &parent, &children, &n))
            pending.insert(pending.end(), children, children + n);
        if (children) XFree(children);
        if (w != DefaultRootWindow(d)) all.push_back(w);
    }
    return all;
}

bool viewable(Display *d, Window w, XWindowAttributes *a) {
    return XGetWindowAttributes(d, w, a) && a->map_state == IsViewable;
}

// True when the window is the game's own, named for the desktop.
bool is_game_window(Display *d, Window w) {
    XClassHint hint{nullptr, nullptr};
    if (!XGetClassHint(d, w, &hint)) return false;
    const bool game = hint.res_name && (std::strcmp(hint.res_name, "snake-game") == 0 ||
                                        std::strcmp(hint.res_name, "snake.exe") == 0);
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return game;
}

// Starts `argv` with `env` (NAME=value entries), its output into `log`.
pid_t spawn_with(std::vector<const char *> argv, std::vector<std::string> env,
                 const std::string &log) {
    std::vector<char *> entries;
    for (std::string &e : env) entries.push_back(e.data());
    entries.push_back(nullptr);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t out;
    posix_spawn_file_actions_init(&out);
    posix_spawn_file_actions_addopen(&out, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&out, 1, 2);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &out, nullptr, const_cast<char **>(argv.data()),
                     entries.data()) != 0)
        pid = 0;
    posix_spawn_file_actions_destroy(&out);
    return pid;
}

std::vector<std::string> environment_with_display(int number) {
    std::vector<std::string> env{"DISPLAY=:" + std::to_string(number)};
    for (char **e = environ; *e; e++)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.push_back(*e);
    return env;
}

}  // namespace

// ---------------------------------------------------------------- colours

bool looks_like(Rgb pixel, Rgb wanted, int tolerance) {
    return std::abs(pixel.r - wanted.r) <= tolerance && std::abs(pixel.g - wanted.g) <= tolerance &&
           std::abs(pixel.b - wanted.b) <= tolerance;
}

bool is_black(Rgb pixel) { return pixel.r == 0 && pixel.g == 0 && pixel.b == 0; }

std::string to_string(Rgb pixel) {
    return "(" + std::to_string(pixel.r) + ", " + std::to_string(pixel.g) + ", " +
           std::to_string(pixel.b) + ")";
}

// ---------------------------------------------------------------- frames

Frame::Frame(int width, int height, std::vector<Rgb> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)) {}

Rgb Frame::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return colour::BLACK;
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

int Frame::count(int x0, int y0, int x1, int y1, Rgb wanted) const {
    int n = 0;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) n += is(x, y, wanted) ? 1 : 0;
    return n;
}

int Frame::count_not_black(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) n += is_black(at(x, y)) ? 0 : 1;
    return n;
}

bool Frame::same_area(const Frame &other, int x0, int y0, int x1, int y1) const {
    for (int y = y0; y <= y1; y++) {
        for (int x = x0; x <= x1; x++) {
            const Rgb a = at(x, y), b = other.at(x, y);
            if (a.r != b.r || a.g != b.g || a.b != b.b) return false;
        }
    }
    return true;
}

bool Frame::write_png(const std::string &path) const {
    if (empty()) return false;
    return e2e::write_png(*this, path);
}

std::string to_string(const ExitResult &result) {
    if (!result.finished) return "still running";
    if (result.exited) return "exited with status " + std::to_string(result.status);
    return "killed by signal " + std::to_string(result.signal) + " (" + strsignal(result.signal) +
           ")";
}

// ---------------------------------------------------------------- set-up

GameUnderX::GameUnderX(const std::string &name, const std::string &screen) {
    const std::string base = sanitised(name.empty() ? running_test_name() : name);
    std::string pattern = temporary_root() + "/snake_e2e_" + base + "_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("cannot make a working folder: " + std::string(strerror(errno)));
    folder_ = buffer.data();
    try {
        start_x_server(screen);
    } catch (const std::exception &e) {
        if (display_) XCloseDisplay(display_);
        display_ = nullptr;
        stop_x_server();
        throw std::runtime_error(std::string(e.what()) + " (folder " + folder_ + ")");
    }
}

GameUnderX::~GameUnderX() {
    const bool failed = ::testing::Test::HasFailure();
    if (failed && game_running() && window_ != None) screenshot("at_failure");
    kill_game();
    if (game_display_) XCloseDisplay(game_display_);
    for (auto p = compositor_pids_.rbegin(); p != compositor_pids_.rend(); ++p) {
        kill(*p, SIGTERM);
        waitpid(*p, nullptr, 0);
    }
    std::error_code ignored;
    if (!runtime_dir_.empty()) std::filesystem::remove_all(runtime_dir_, ignored);
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
    stop_x_server();
    if (failed) {
        std::cout << "[ e2e      ] kept the game's folder " << folder_ << " (game.log, screenshots)"
                  << std::endl;
    } else {
        std::filesystem::remove_all(folder_, ignored);
    }
}

void GameUnderX::start_x_server(const std::string &screen) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    // Run without a standard input or output, the pipe may get descriptor
    // 0, 1 or 2, which the child replaces: keep the server's end above them.
    if (fds[1] < 3) {
        const int moved = fcntl(fds[1], F_DUPFD_CLOEXEC, 3);
        close(fds[1]);
        fds[1] = moved;
    }
    const std::string fd_text = std::to_string(fds[1]);
    const std::string log_path = path_of("xvfb.log");
    const char *argv[] = {"Xvfb",        "-displayfd", fd_text.c_str(), "-screen",  "0",
                          screen.c_str(), "-nolisten",  "tcp",           "-noreset", nullptr};

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // The server writes its display number to the inherited pipe end.
        fcntl(fds[1], F_SETFD, 0);
        const int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int null_in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        if (null_in >= 0) dup2(null_in, 0);
        execvp(argv[0], const_cast<char *const *>(argv));
        _exit(127);
    }
    xvfb_pid_ = pid;
    close(fds[1]);

    // Read "<number>\n"; the server only writes it once it listens, and it
    // picks a free number itself, so parallel servers never collide.
    std::string text;
    const auto deadline = clock::now() + milliseconds(30000);
    while (text.find('\n') == std::string::npos && clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char chunk[32];
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n <= 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (text.find('\n') == std::string::npos)
        throw std::runtime_error("Xvfb did not report a display number (see " + log_path + ")");
    display_number_ = std::atoi(text.c_str());

    XSetErrorHandler(ignore_x_error);
    const std::string name = ":" + std::to_string(display_number_);
    for (int attempt = 0; attempt < 100 && !display_; attempt++) {
        display_ = XOpenDisplay(name.c_str());
        if (!display_) pause_for(milliseconds(50));
    }
    if (!display_) throw std::runtime_error("cannot connect to Xvfb on " + name);
    root_ = DefaultRootWindow(display_);
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event_base, &error_base, &major, &minor))
        throw std::runtime_error("the X server lacks the XTest extension");
    // A key held for a while must stay one press, not a stream of repeats.
    XAutoRepeatOff(display_);
    sync();
}

void GameUnderX::stop_x_server() {
    if (xvfb_pid_ <= 0) return;
    kill(xvfb_pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 250; i++) {
        if (waitpid(xvfb_pid_, &status, WNOHANG) == xvfb_pid_) {
            xvfb_pid_ = 0;
            return;
        }
        pause_for(milliseconds(20));
    }
    kill(xvfb_pid_, SIGKILL);
    waitpid(xvfb_pid_, &status, 0);
    xvfb_pid_ = 0;
}

void GameUnderX::sync() {
    if (display_) XSync(display_, False);
}

// ---------------------------------------------------------------- the folder

std::string GameUnderX::path_of(const std::string &file_name) const {
    return folder_ + "/" + file_name;
}

void GameUnderX::install_datafile() {
    std::error_code error;
    std::filesystem::copy_file(SNAKE_DAT_PATH, path_of("snake.dat"),
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        throw std::runtime_error(std::string("cannot copy ") + SNAKE_DAT_PATH + ": " +
                                 error.message());
}

void GameUnderX::write_file(const std::string &file_name, const std::string &content) {
    std::ofstream file(path_of(file_name), std::ios::binary | std::ios::trunc);
    file << content;
    if (!file) throw std::runtime_error("cannot write " + path_of(file_name));
}

bool GameUnderX::file_exists(const std::string &file_name) const {
    struct stat info;
    return stat(path_of(file_name).c_str(), &info) == 0;
}

std::optional<std::string> GameUnderX::read_file(const std::string &file_name) const {
    std::ifstream file(path_of(file_name), std::ios::binary);
    if (!file) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string GameUnderX::game_log() const { return read_file("game.log").value_or(""); }

// ---------------------------------------------------------------- the game

std::string GameUnderX::game_folder() const {
    return game_folder_.empty() ? folder_ : path_of(game_folder_);
}

void GameUnderX::set_game_user(uid_t uid, gid_t gid) {
    as_other_user_ = true;
    game_uid_ = uid;
    game_gid_ = gid;
}

void GameUnderX::start_game() {
    if (game_pid_ > 0 && !game_reaped_) throw std::runtime_error("the game is already running");
    // Everything the child needs is prepared before the fork.
    const std::string display_var = "DISPLAY=:" + std::to_string(display_number_);
    // A Wayland session's variables come only from start_compositor: run
    // from a Wayland desktop, the tests still start the game as in X11.
    std::vector<std::string> env_text = session_env_;
    for (char **e = environ; *e && session_env_.empty(); e++)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0 &&
            std::strncmp(*e, "XDG_SESSION_TYPE=", 17) != 0)
            env_text.push_back(*e);
    if (session_env_.empty()) env_text.push_back(display_var);
    std::vector<char *> env;
    for (std::string &s : env_text) env.push_back(s.data());
    env.push_back(nullptr);
    const std::string log_path = path_of("game.log");
    const std::string work_folder = game_folder();
    std::vector<std::string> arg_text = wrapper_;
    arg_text.push_back(game_command());
    std::vector<char *> argv;
    for (std::string &s : arg_text) argv.push_back(s.data());
    argv.push_back(nullptr);
    const std::vector<int> closed = closed_fds_;
    const bool drop = as_other_user_;
    const uid_t uid = game_uid_;
    const gid_t gid = game_gid_;

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // The log is opened while still privileged: it lies in the test's folder.
        const int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int null_in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        if (null_in >= 0) dup2(null_in, 0);
        for (int fd : closed) close(fd);
        // The group first: once the user has changed, it may not be changed.
        if (drop && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
            static const char failed[] = "e2e: cannot change to the game's user\n";
            const ssize_t ignored = write(2, failed, sizeof failed - 1);
            (void)ignored;
            _exit(125);
        }
        // Entered as the game's user, so that a folder it may not enter fails here.
        if (chdir(work_folder.c_str()) != 0) _exit(126);
        execvpe(argv[0], argv.data(), env.data());
        _exit(127);
    }
    game_pid_ = pid;
    game_reaped_ = false;
    game_exit_ = ExitResult{};
    window_ = None;
}

std::string game_command() {
    const char *other = std::getenv("SNAKE_E2E_GAME");
    return (other && *other) ? other : SNAKE_BINARY;
}

bool GameUnderX::start_game_with_window(milliseconds timeout) {
    start_game();
    return wait_for_window(timeout);
}

bool GameUnderX::game_running() {
    if (game_pid_ <= 0 || game_reaped_) return false;
    int status = 0;
    const pid_t r = waitpid(game_pid_, &status, WNOHANG);
    if (r == 0) return true;
    game_reaped_ = true;
    game_exit_.finished = true;
    if (r == game_pid_) {
        game_exit_.exited = WIFEXITED(status);
        game_exit_.status = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
        game_exit_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    return false;
}

ExitResult GameUnderX::wait_for_exit(milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    while (game_running()) {
        if (clock::now() >= deadline) return ExitResult{};
        pause_for(milliseconds(20));
    }
    return game_exit_;
}

std::vector<pid_t> GameUnderX::game_descendants() const {
    std::vector<pid_t> out;
    if (game_pid_ <= 0) return out;
    const std::vector<ProcessEntry> all = list_processes();
    std::map<pid_t, pid_t> parent_of;
    for (const ProcessEntry &p : all) parent_of[p.pid] = p.parent;
    for (const ProcessEntry &p : all) {
        pid_t up = p.parent;
        for (int depth = 0; depth < 64 && up > 1; depth++) {
            if (up == game_pid_) {
                out.push_back(p.pid);
                break;
            }
            const auto it = parent_of.find(up);
            if (it == parent_of.end()) break;
            up = it->second;
        }
    }
    return out;
}

void GameUnderX::kill_game() {
    if (game_pid_ <= 0 || game_reaped_) return;
    for (pid_t child : game_descendants()) kill(child, SIGKILL);
    kill(game_pid_, SIGKILL);
    int status = 0;
    waitpid(game_pid_, &status, 0);
    game_reaped_ = true;
    game_exit_.finished = true;
    game_exit_.exited = false;
    game_exit_.signal = SIGKILL;
}

// ---------------------------------------------------------------- the window

bool GameUnderX::locate_window() {
    if (!display_) return false;
    // The game's X server is this one but under a compositor, whose window
    // lies at this one's top left: the positions are the same on both.
    Display *const d = game_display_ ? game_display_ : display_;
    Window library_window = None;
    for (const Window w : windows_below_root(d)) {
        XWindowAttributes a;
        if (!viewable(d, w, &a)) continue;
        if (is_game_window(d, w)) {
            window_ = w;
            window_named_ = true;
            return refresh_position();
        }
        if (a.width == GAME_WIDTH && a.height == GAME_HEIGHT && library_window == None)
            library_window = w;
    }
    window_ = library_window;
    window_named_ = false;
    return window_ != None && refresh_position();
}

bool GameUnderX::wait_for_window(milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    // A compositor maps the window, then moves it into place: it is found
    // once it stays where it was 300 ms before.
    for (int x = -1, y = -1;;) {
        if (locate_window() && (!game_display_ || (window_x_ == x && window_y_ == y))) return true;
        if (clock::now() >= deadline || !game_running()) return false;
        x = window_ ? window_x_ : -1;
        y = window_y_;
        pause_for(milliseconds(game_display_ ? 300 : 20));
    }
}

// ---------------------------------------------------------------- pixels

bool GameUnderX::refresh_position() {
    // The window moves and changes size (the library maps its window before
    // it moves it into place, F11 switches to a window and back): its place
    // is read again before every use.
    if (!display_) return false;
    const Area area = window_area();
    // A window taken for its size alone (the library's own modes, or any
    // 640x480 window while the game's own was not shown) gives way to the
    // game's own window as soon as that shows.
    if (area.w == 0 || (!window_named_ && named_window_shown())) {
        window_ = None;
        return locate_window();
    }
    const Area picture = picture_in(area.w, area.h);
    window_x_ = area.x + picture.x;
    window_y_ = area.y + picture.y;
    picture_w_ = picture.w;
    picture_h_ = picture.h;
    return true;
}

bool GameUnderX::named_window_shown() {
    Display *const d = game_display_ ? game_display_ : display_;
    XWindowAttributes a;
    for (const Window w : windows_below_root(d))
        if (is_game_window(d, w) && viewable(d, w, &a)) return true;
    return false;
}

Area GameUnderX::window_area() {
    Display *const d = game_display_ ? game_display_ : display_;
    int ax = 0, ay = 0;
    Window child = None;
    XWindowAttributes a;
    if (!d || window_ == None || !XGetWindowAttributes(d, window_, &a) ||
        a.map_state != IsViewable ||
        !XTranslateCoordinates(d, window_, DefaultRootWindow(d), 0, 0, &ax, &ay, &child))
        return Area{0, 0, 0, 0};
    return Area{ax, ay, a.width, a.height};
}

int GameUnderX::screen_x(int x) const {
    return window_x_ + static_cast<int>(floor_div((2L * x + 1) * picture_w_, 2L * GAME_WIDTH));
}

int GameUnderX::screen_y(int y) const {
    return window_y_ + static_cast<int>(floor_div((2L * y + 1) * picture_h_, 2L * GAME_HEIGHT));
}

Frame GameUnderX::capture() {
    if (!refresh_position()) return Frame();
    const int pw = picture_w_, ph = picture_h_;
    const Frame frame = read_area(
        display_, root_, Area{window_x_, window_y_, pw, ph}, GAME_WIDTH, GAME_HEIGHT,
        [pw](int x) { return static_cast<int>((2L * x + 1) * pw / (2 * GAME_WIDTH)); },
        [ph](int y) { return static_cast<int>((2L * y + 1) * ph / (2 * GAME_HEIGHT)); });
    // The window may have been replaced: look for it again next time.
    if (frame.empty()) window_ = None;
    return frame;
}

Frame GameUnderX::capture_screen() {
    if (!display_) return Frame();
    const int w = DisplayWidth(display_, DefaultScreen(display_));
    const int h = DisplayHeight(display_, DefaultScreen(display_));
    return read_area(display_, root_, Area{0, 0, w, h}, w, h, [](int x) { return x; },
                     [](int y) { return y; });
}

Rgb GameUnderX::pixel(int x, int y) { return capture().at(x, y); }

bool GameUnderX::wait_until(const std::function<bool(const Frame &)> &condition,
                            milliseconds timeout, Frame *last, milliseconds poll) {
    const auto deadline = clock::now() + timeout;
    for (;;) {
        Frame frame = capture();
        const bool met = !frame.empty() && condition(frame);
        if (last && !frame.empty()) *last = frame;
        if (met) return true;
        if (clock::now() >= deadline) return false;
        pause_for(poll);
    }
}

std::string GameUnderX::screenshot(const std::string &label) {
    const Frame frame = capture();
    if (frame.empty()) return "(no screenshot: the game window could not be read)";
    char number[16];
    std::snprintf(number, sizeof number, "%02d", ++screenshots_);
    const std::string path =
        path_of(std::string("screenshot_") + number + "_" + sanitised(label) + ".png");
    if (!frame.write_png(path)) return "(no screenshot: cannot write " + path + ")";
    std::cout << "[ e2e      ] screenshot " << path << std::endl;
    return "screenshot: " + path;
}

// ---------------------------------------------------------------- the pointer

bool GameUnderX::pointer_at(int x, int y) {
    if (!refresh_position()) return false;
    Window root_back = None, child = None;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(display_, root_, &root_back, &child, &rx, &ry, &wx, &wy, &mask))
        return false;
    return rx == screen_x(x) && ry == screen_y(y);
}

bool GameUnderX::move_pointer(int x, int y, milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    for (;;) {
        if (!refresh_position()) return false;
        XTestFakeMotionEvent(display_, DefaultScreen(display_), screen_x(x), screen_y(y),
                             CurrentTime);
        sync();
        // Seen there twice, a little apart: a warp by the library in between
        // would show as a second position.
        if (pointer_at(x, y)) {
            pause_for(milliseconds(30));
            if (pointer_at(x, y)) return true;
        }
        if (clock::now() >= deadline) return false;
        pause_for(milliseconds(30));
    }
}

bool GameUnderX::park_pointer() { return move_pointer(PARK_X, PARK_Y); }

void GameUnderX::press_button() {
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    sync();
}

void GameUnderX::release_button() {
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    sync();
}

bool GameUnderX::click_until(int x, int y, const std::function<bool(const Frame &)> &done,
                             milliseconds timeout, bool done_when_ended) {
    if (!move_pointer(x, y)) return false;
    if (!pointer_at(x, y)) return false;
    press_button();
    const auto deadline = clock::now() + timeout;
    bool met = false;
    while (!met) {
        if (done_when_ended && !game_running()) {
            met = true;
            break;
        }
        const Frame frame = capture();
        if (!frame.empty() && done(frame)) {
            met = true;
            break;
        }
        if (clock::now() >= deadline) break;
        pause_for(milliseconds(10));
    }
    release_button();
    return met;
}

// ---------------------------------------------------------------- the keyboard

void GameUnderX::press_key(unsigned long keysym) {
    refresh_position();
    Window root_back = None, child = None;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(display_, root_, &root_back, &child, &rx, &ry, &wx, &wy, &mask);
    const bool inside = rx >= window_x_ && rx < window_x_ + picture_w_ && ry >= window_y_ &&
                        ry < window_y_ + picture_h_;
    if (!inside) park_pointer();
    const KeyCode code = XKeysymToKeycode(display_, static_cast<KeySym>(keysym));
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    sync();
}

void GameUnderX::release_key(unsigned long keysym) {
    const KeyCode code = XKeysymToKeycode(display_, static_cast<KeySym>(keysym));
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    sync();
}

void GameUnderX::hold_key(unsigned long keysym, milliseconds how_long) {
    press_key(keysym);
    pause_for(how_long);
    release_key(keysym);
}

bool GameUnderX::key_until(unsigned long keysym, const std::function<bool(const Frame &)> &done,
                           milliseconds timeout) {
    press_key(keysym);
    const bool met = wait_until(done, timeout);
    release_key(keysym);
    return met;
}

// ---------------------------------------------------------------- message boxes

std::optional<MessageBox> GameUnderX::find_message() {
    const std::vector<pid_t> descendants = game_descendants();
    for (const ProcessEntry &p : list_processes()) {
        if (p.name != "xmessage") continue;
        bool ours = false;
        for (pid_t d : descendants) ours = ours || d == p.pid;
        if (!ours) continue;
        const std::vector<std::string> args = command_line_of(p.pid);
        if (args.size() < 2) continue;
        // The message is xmessage's last argument, after its options.
        return MessageBox{p.pid, args.back()};
    }
    return std::nullopt;
}

std::optional<MessageBox> GameUnderX::wait_for_message(milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    for (;;) {
        if (std::optional<MessageBox> box = find_message()) return box;
        if (clock::now() >= deadline || !game_running()) return std::nullopt;
        pause_for(milliseconds(20));
    }
}

bool GameUnderX::message_window_shown() { return message_window() != None; }

unsigned long GameUnderX::message_window() {
    if (!display_) return None;
    Window root_back = None, parent = None;
    Window *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display_, root_, &root_back, &parent, &children, &n)) return None;
    Window shown = None;
    for (unsigned int i = 0; i < n && shown == None; i++) {
        XClassHint hint{nullptr, nullptr};
        if (!XGetClassHint(display_, children[i], &hint)) continue;
        const bool is_message = (hint.res_name && std::strcmp(hint.res_name, "xmessage") == 0) ||
                                (hint.res_class && std::strcmp(hint.res_class, "Xmessage") == 0);
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
        XWindowAttributes a;
        if (is_message && XGetWindowAttributes(display_, children[i], &a) &&
            a.map_state == IsViewable)
            shown = children[i];
    }
    if (children) XFree(children);
    return shown;
}

bool GameUnderX::wait_for_message_window(milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    for (;;) {
        if (message_window_shown()) return true;
        if (clock::now() >= deadline) return false;
        pause_for(milliseconds(20));
    }
}

void GameUnderX::dismiss_message(const MessageBox &box) {
    kill(box.pid, SIGTERM);
    for (int i = 0; i < 250 && process_alive(box.pid); i++) pause_for(milliseconds(20));
}

bool GameUnderX::click_message_ok(milliseconds timeout) {
    // xmessage puts its text at the top of a form and its buttons under it:
    // with the one OK button, that is the form's lowest child.
    const Window box = message_window();
    if (box == None) return false;
    Window root_back = None, parent = None, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display_, box, &root_back, &parent, &children, &n) || n == 0) return false;
    const Window form = children[0];
    XFree(children);
    children = nullptr;
    if (!XQueryTree(display_, form, &root_back, &parent, &children, &n)) return false;
    int best_y = -1, x = 0, y = 0;
    for (unsigned int i = 0; i < n; i++) {
        XWindowAttributes a;
        int ax = 0, ay = 0;
        Window child = None;
        if (!XGetWindowAttributes(display_, children[i], &a) || a.y <= best_y ||
            !XTranslateCoordinates(display_, children[i], root_, a.width / 2, a.height / 2, &ax,
                                   &ay, &child))
            continue;
        best_y = a.y;
        x = ax;
        y = ay;
    }
    if (children) XFree(children);
    if (best_y < 0) return false;

    const auto deadline = clock::now() + timeout;
    for (;;) {
        XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
        sync();
        Window child = None;
        int rx = -1, ry = -1, wx = 0, wy = 0;
        unsigned int mask = 0;
        if (XQueryPointer(display_, root_, &root_back, &child, &rx, &ry, &wx, &wy, &mask) &&
            rx == x && ry == y)
            break;
        if (clock::now() >= deadline) return false;
        pause_for(milliseconds(30));
    }
    press_button();
    pause_for(milliseconds(50));
    release_button();
    return true;
}

// ---------------------------------------------------------------- a Wayland desktop

bool GameUnderX::start_compositor(milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    // A socket's path must be short: the folder's is too long.
    std::string runtime = temporary_root() + "/snake_wl_XXXXXX";
    if (!mkdtemp(runtime.data())) return false;
    runtime_dir_ = runtime;
    session_env_ = {"XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY=wayland-snake",
                    "DISPLAY=:" + std::to_string(display_number_)};
    for (char **e = environ; *e; e++) session_env_.push_back(*e);
    auto spawn = [&](std::vector<const char *> argv, const std::string &log) {
        if (const pid_t pid = spawn_with(std::move(argv), session_env_, log))
            compositor_pids_.push_back(pid);
    };
    auto wait_for = [&](const std::function<bool()> &done) {
        for (bool met = done(); !met; met = done()) {
            if (clock::now() >= deadline) return false;
            pause_for(milliseconds(100));
        }
        return true;
    };
    // The middle of weston's output: the desktop's background once drawn and
    // still, then the terminal, which covers it wherever it is placed.
    auto middle = [&] {
        XImage *image = XGetImage(display_, root_, 450, 350, 1, 1, AllPlanes, ZPixmap);
        const unsigned long value = image ? XGetPixel(image, 0, 0) : 0;
        if (image) XDestroyImage(image);
        return value;
    };
    spawn({"weston", "--backend=x11-backend.so", "--use-pixman", "--width=900", "--height=700",
           "--xwayland", "--socket=wayland-snake", "--idle-time=0"},
          path_of("weston.log"));
    const std::string listening = "xserver listening on display :";
    size_t at = std::string::npos;
    std::string log;
    unsigned long desktop = 0;
    if (!wait_for([&] {
            log = read_file("weston.log").value_or("");
            return (at = log.find(listening)) != std::string::npos;
        }) ||
        !wait_for([&] {
            const unsigned long before = middle();
            pause_for(milliseconds(200));
            return before != 0 && (desktop = middle()) == before;
        }))
        return false;
    spawn({"weston-terminal"}, path_of("terminal.log"));
    const std::string xwayland = ":" + std::to_string(std::atoi(&log[at + listening.size()]));
    // Xwayland starts with its first client.
    if (!wait_for([&] { return middle() != desktop; }) ||
        !wait_for([&] { return (game_display_ = XOpenDisplay(xwayland.c_str())) != nullptr; }))
        return false;
    session_env_.insert(session_env_.begin(), {"DISPLAY=" + xwayland, "XDG_SESSION_TYPE=wayland"});
    // The pointer waits outside weston's window: the library warps it at
    // start-up, and a warp into a window with its cursor hidden has Xwayland
    // lock the pointer, which then follows relative motion only (a mouse's,
    // not this X server's absolute positions).
    XTestFakeMotionEvent(display_, DefaultScreen(display_), 1020, 760, CurrentTime);
    sync();
    return true;
}

GameUnderX::Labels GameUnderX::window_labels() {
    Labels out;
    Display *const d = game_display_ ? game_display_ : display_;
    Window root_back = None, top = window_, *children = nullptr;
    unsigned int n = 0;
    char *title = nullptr;
    // The library names the window it draws in or, in a window, its parent.
    while (refresh_position() && !XFetchName(d, top, &title) &&
           XQueryTree(d, top, &root_back, &top, &children, &n) && top != root_back)
        if (children) XFree(children);
    XClassHint hint{nullptr, nullptr};
    if (!title || !XGetClassHint(d, top, &hint)) return out;
    out = {title, hint.res_name, hint.res_class, {}};
    XWMHints *hints = XGetWMHints(d, top);
    XImage *image = hints && (hints->flags & IconPixmapHint)
                        ? XGetImage(d, hints->icon_pixmap, 0, 0, 48, 48, AllPlanes, ZPixmap)
                        : nullptr;
    for (int i = 0; image && i < 48 * 48; i++) out.icon.push_back(XGetPixel(image, i % 48, i / 48));
    if (image) XDestroyImage(image);
    for (void *p : {static_cast<void *>(hints), static_cast<void *>(title),
                    static_cast<void *>(hint.res_name), static_cast<void *>(hint.res_class)})
        if (p) XFree(p);
    return out;
}

void GameUnderX::close_window() {
    Display *const d = game_display_ ? game_display_ : display_;
    if (!d) return;
    const Atom delete_window = XInternAtom(d, "WM_DELETE_WINDOW", False);
    // Every window of the game that takes the message, found afresh: the
    // one the pictures are read from may be a window manager's frame or the
    // library's drawing window inside.
    for (const Window w : windows_below_root(d)) {
        Atom *protocols = nullptr;
        int n = 0;
        const bool takes = is_game_window(d, w) && XGetWMProtocols(d, w, &protocols, &n) &&
                           std::find(protocols, protocols + n, delete_window) != protocols + n;
        if (protocols) XFree(protocols);
        if (!takes) continue;
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = w;
        close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] = static_cast<long>(delete_window);
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, w, False, NoEventMask, &close);
    }
    XSync(d, False);
}

// ---------------------------------------------------------------- a window manager

bool GameUnderX::start_window_manager(milliseconds timeout) {
    const pid_t pid = spawn_with({"openbox", "--sm-disable"},
                                 environment_with_display(display_number_), path_of("openbox.log"));
    if (pid == 0) return false;
    compositor_pids_.push_back(pid);
    // A window manager that follows EWMH names a window of its own on the root.
    const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    const auto deadline = clock::now() + timeout;
    for (;;) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        const bool named = XGetWindowProperty(display_, root_, check, 0, 1, False, XA_WINDOW, &type,
                                              &format, &count, &after, &data) == Success &&
                           count == 1;
        if (data) XFree(data);
        if (named) break;
        if (clock::now() >= deadline) return false;
        pause_for(milliseconds(50));
    }
    // openbox names its window before it has finished starting, and a
    // window mapped in between may never be managed (seen about once in ten
    // starts): the manager is ready once it maps a window of the harness's.
    while (clock::now() < deadline) {
        const Window probe = XCreateSimpleWindow(display_, root_, 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(display_, probe, StructureNotifyMask);
        XMapWindow(display_, probe);
        XFlush(display_);
        bool mapped = false;
        for (int i = 0; i < 40 && !mapped; i++) {
            XEvent event;
            mapped = XCheckTypedWindowEvent(display_, probe, MapNotify, &event);
            if (!mapped) pause_for(milliseconds(50));
        }
        XDestroyWindow(display_, probe);
        sync();
        if (mapped) return true;
    }
    return false;
}

int GameUnderX::run_x_program(const std::vector<std::string> &argv) {
    std::vector<const char *> args;
    for (const std::string &a : argv) args.push_back(a.c_str());
    const pid_t pid = spawn_with(args, environment_with_display(display_number_), path_of("x_programs.log"));
    int status = 0;
    if (pid == 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string GameUnderX::screen_mode() {
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display_, root_);
    std::string mode;
    for (int c = 0; resources && c < resources->ncrtc && mode.empty(); c++) {
        XRRCrtcInfo *crtc = XRRGetCrtcInfo(display_, resources, resources->crtcs[c]);
        if (crtc && crtc->mode != None)
            mode = std::to_string(crtc->width) + "x" + std::to_string(crtc->height);
        if (crtc) XRRFreeCrtcInfo(crtc);
    }
    if (resources) XRRFreeScreenResources(resources);
    return mode;
}

void GameUnderX::lose_display() {
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
    window_ = None;
    if (xvfb_pid_ > 0) kill(xvfb_pid_, SIGKILL);
    stop_x_server();
}

}  // namespace e2e
