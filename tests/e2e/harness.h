// The real game binary on a virtual X server of its own, driven by synthetic
// X input events (XTest) and watched through the pixels of its window.
//
// Every GameUnderX starts its own Xvfb, so tests can run in parallel, and a
// fresh working folder in which the game finds (or misses) snake.dat and
// keeps scores.txt. The folder is removed when the test passes and kept,
// with a screenshot and the game's log, when it fails.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Xlib's own headers define macros (None, Bool, Status...) that clash with
// GoogleTest's; only the harness's source file includes them.
typedef struct _XDisplay Display;

namespace e2e {

using milliseconds = std::chrono::milliseconds;

// An 8-bit-per-channel colour as the X screen shows it, or as the game
// passes it to makecol.
struct Rgb {
    int r;
    int g;
    int b;
};

// The colours the game draws with, as it passes them to makecol.
namespace colour {
constexpr Rgb BLACK{0, 0, 0};
constexpr Rgb GREEN{0, 255, 0};
constexpr Rgb BLUE{0, 0, 255};
constexpr Rgb RED{255, 0, 0};
constexpr Rgb YELLOW{255, 255, 0};
constexpr Rgb MAGENTA{255, 0, 255};
constexpr Rgb DARK_RED{96, 0, 0};
constexpr Rgb OLIVE{96, 128, 0};
}  // namespace colour

// The game draws at 16 bits per pixel (5 bits of red and blue, 6 of green);
// the 24-bit X screen shows each channel with its low bits lost, so colours
// are compared with a tolerance on every channel.
constexpr int COLOUR_TOLERANCE = 8;
bool looks_like(Rgb pixel, Rgb wanted, int tolerance = COLOUR_TOLERANCE);
bool is_black(Rgb pixel);
std::string to_string(Rgb pixel);

// Size of the game's picture: its window shows it scaled.
constexpr int GAME_WIDTH = 640;
constexpr int GAME_HEIGHT = 480;

// A rectangle of the X screen.
struct Area {
    int x, y, w, h;
};

// One picture of the game window, addressed in game coordinates.
class Frame {
public:
    Frame() = default;
    Frame(int width, int height, std::vector<Rgb> pixels);

    bool empty() const { return pixels_.empty(); }
    int width() const { return width_; }
    int height() const { return height_; }

    // Black outside the picture.
    Rgb at(int x, int y) const;
    bool is(int x, int y, Rgb wanted) const { return looks_like(at(x, y), wanted); }

    // Counts inside the rectangle (x0, y0)-(x1, y1), both corners included.
    int count(int x0, int y0, int x1, int y1, Rgb wanted) const;
    int count_not_black(int x0, int y0, int x1, int y1) const;
    // True when both pictures hold the same pixels inside the rectangle.
    bool same_area(const Frame &other, int x0, int y0, int x1, int y1) const;

    // The picture as an 8-bit RGB PNG file, written with libpng.
    bool write_png(const std::string &path) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Rgb> pixels_;
};

// How a waited-for process ended.
struct ExitResult {
    bool finished = false;  // false: still running when the wait ran out
    bool exited = false;    // ended through exit() or by returning from main
    int status = 0;         // the exit status, when exited
    int signal = 0;         // the signal that ended it, when not exited
};
std::string to_string(const ExitResult &result);

// A message box the library shows through the `xmessage` program.
struct MessageBox {
    pid_t pid = 0;
    std::string text;  // the message as passed on xmessage's command line
};

// A spot of the window that no screen reads: left of every button and
// text, below the field and above the bottom status row, so the pointer's
// picture, which the menu draws into its frames, covers nothing checked.
constexpr int PARK_X = 4;
constexpr int PARK_Y = 440;

// The program start_game runs: the built game, or the command named by the
// environment variable SNAKE_E2E_GAME (e.g. a script that starts the Windows
// build under Wine), run the same way in the same folder.
std::string game_command();

class GameUnderX {
public:
    // Starts the X server, with one screen of `screen` (WIDTHxHEIGHTxDEPTH),
    // and makes the working folder; the game itself is started by
    // start_game, so that the test can prepare the folder first. `name`
    // names the folder; by default the running test's name.
    explicit GameUnderX(const std::string &name = "", const std::string &screen = "800x600x24");
    ~GameUnderX();
    GameUnderX(const GameUnderX &) = delete;
    GameUnderX &operator=(const GameUnderX &) = delete;

    // ---- the working folder ----
    const std::string &folder() const { return folder_; }
    std::string path_of(const std::string &file_name) const;
    // Copies the built snake.dat into the folder.
    void install_datafile();
    void write_file(const std::string &file_name, const std::string &content);
    bool file_exists(const std::string &file_name) const;
    // The whole content of a file of the folder; nullopt when it is missing.
    std::optional<std::string> read_file(const std::string &file_name) const;
    // What the game wrote on its standard output and error.
    std::string game_log() const;

    // ---- how the game is started (set before start_game) ----
    // The folder the game runs in, relative to folder(); empty (the default)
    // is folder() itself. The game's log stays in folder() all the same.
    void set_game_folder(const std::string &relative) { game_folder_ = relative; }
    std::string game_folder() const;
    // Runs the game as another user and group. Tests run as root, whom file
    // permissions do not stop: a player's lack of rights needs another user.
    void set_game_user(uid_t uid, gid_t gid);
    // Runs the game through a program that executes it in the same process,
    // such as valgrind with its options; the game's path comes after them.
    void set_game_wrapper(const std::vector<std::string> &wrapper) { wrapper_ = wrapper; }
    // Starts the game with these of its standard descriptors (0, 1, 2)
    // closed, as a shell's `2>&-` does; what it writes on a closed one is lost.
    void set_closed_descriptors(const std::vector<int> &fds) { closed_fds_ = fds; }

    // ---- the game process ----
    // Starts the game binary in the game folder, on this X server.
    void start_game();
    // Starts the game and waits for its window: the usual beginning.
    bool start_game_with_window(milliseconds timeout = milliseconds(60000));
    pid_t game_pid() const { return game_pid_; }
    bool game_running();
    // Waits for the game to end; `finished` is false when it has not.
    ExitResult wait_for_exit(milliseconds timeout);
    // Ends a game still running (SIGKILL) and whatever it started.
    void kill_game();

    // ---- the window ----
    // Polls until the game's window is mapped, and notes where it and the
    // picture in it lie on the screen. The game's own window (WM_CLASS
    // snake-game, or snake.exe under Wine) shows the picture scaled as the
    // game scales it: the largest whole multiple of 640x480 that fits,
    // centred, or the largest 4:3 rectangle where a whole multiple would
    // fill less than three quarters of the height. The library's own modes
    // show it in a 640x480 window.
    bool wait_for_window(milliseconds timeout = milliseconds(60000));
    bool has_window() const { return window_ != 0; }
    // The picture's top left corner on the screen, and its size there.
    int window_left() const { return window_x_; }
    int window_top() const { return window_y_; }
    int picture_width() const { return picture_w_; }
    int picture_height() const { return picture_h_; }
    // The window the picture is shown in, as it is now.
    Area window_area();

    // ---- pixels ----
    // The game's picture, one pixel of the game a pixel of the frame (the
    // middle of the block that shows it); empty when it cannot be read.
    Frame capture();
    // The whole X screen, as it shows.
    Frame capture_screen();
    Rgb pixel(int x, int y);
    // Captures every ~`poll` until `condition` holds or `timeout` passes.
    // The last picture taken is kept in `last`, when given.
    bool wait_until(const std::function<bool(const Frame &)> &condition, milliseconds timeout,
                    Frame *last = nullptr, milliseconds poll = milliseconds(20));
    // Writes a PNG of the game window into the folder and returns a line
    // naming it, to stream into a failure message.
    std::string screenshot(const std::string &label);

    // ---- the pointer ----
    // Moves the pointer to game coordinates and waits until the X server
    // reports it there (the library warps the pointer while it starts, so a
    // move may be lost and is repeated until it sticks).
    bool move_pointer(int x, int y, milliseconds timeout = milliseconds(5000));
    bool pointer_at(int x, int y);
    // Moves the pointer to PARK_X, PARK_Y (see below).
    bool park_pointer();
    // The left button; the pointer must already be where the click is meant.
    void press_button();
    void release_button();
    // Moves the pointer (verified), presses the left button, holds it until
    // `done` holds for a picture of the window (or the game ends, when
    // `done_when_ended` is set), and releases it.
    bool click_until(int x, int y, const std::function<bool(const Frame &)> &done,
                     milliseconds timeout, bool done_when_ended = false);

    // ---- the keyboard ----
    // Without a window manager the keyboard focus follows the pointer, so
    // the pointer is parked over the window first when it is elsewhere.
    void press_key(unsigned long keysym);
    void release_key(unsigned long keysym);
    void hold_key(unsigned long keysym, milliseconds how_long);
    // Presses a key, holds it until `done` holds, and releases it.
    bool key_until(unsigned long keysym, const std::function<bool(const Frame &)> &done,
                   milliseconds timeout);

    // ---- library message boxes ----
    // The xmessage program started by the game (or by a process it started).
    std::optional<MessageBox> find_message();
    std::optional<MessageBox> wait_for_message(milliseconds timeout);
    // True when a top-level window of the xmessage program is on the screen.
    bool message_window_shown();
    bool wait_for_message_window(milliseconds timeout);
    // Ends the message box program; the game then goes on.
    void dismiss_message(const MessageBox &box);
    // Clicks the box's OK button as a person does: the pointer is moved onto
    // the button and seen there before the left button is pressed and
    // released. False when there is no box or the pointer would not stay.
    bool click_message_ok(milliseconds timeout = milliseconds(5000));

    // ---- a Wayland desktop ----
    // Starts weston on this X server, in a window of its own at the top
    // left, with Xwayland and a Wayland terminal that takes the focus. The
    // game then starts as a desktop starts it: on Xwayland, with
    // WAYLAND_DISPLAY and XDG_SESSION_TYPE=wayland set. Pixels and input
    // still go through this X server, and so through the compositor. False
    // when one of them did not come up (see weston.log in the folder).
    bool start_compositor(milliseconds timeout);
    // What the game's named window tells the desktop: WM_NAME, WM_CLASS and
    // the WM_HINTS icon's pixels (48x48, 0xRRGGBB on a 24-bit screen).
    struct Labels {
        std::string title, res_name, res_class;
        std::vector<unsigned long> icon;
    };
    Labels window_labels();

    // The window's close button as a window manager passes it on: the
    // WM_DELETE_WINDOW message, sent to the game's window that takes it.
    void close_window();

    // ---- a window manager ----
    // Starts openbox on this X server and waits until it manages windows.
    bool start_window_manager(milliseconds timeout);
    // Runs an X client program (xrandr, xdotool...) on this X server and
    // returns its exit status, or -1.
    int run_x_program(const std::vector<std::string> &argv);
    // The RandR mode the X screen shows, as "WIDTHxHEIGHT".
    std::string screen_mode();

    // ---- the X server itself ----
    // Ends the X server under the running game, as a logout does. Nothing
    // that needs the display works afterwards; the game's exit still does.
    void lose_display();

    Display *display() const { return display_; }
    int display_number() const { return display_number_; }

private:
    void start_x_server(const std::string &screen);
    void stop_x_server();
    bool locate_window();
    bool refresh_position();
    // True when a window of the game's own name is on the screen.
    bool named_window_shown();
    // A point of the picture as a point of the screen: the middle of the
    // block that shows it, and beyond the picture at the same scale.
    int screen_x(int x) const;
    int screen_y(int y) const;
    void sync();
    // The top-level window of a shown xmessage box, or 0.
    unsigned long message_window();
    std::vector<pid_t> game_descendants() const;

    std::string folder_;
    std::string game_folder_;
    bool as_other_user_ = false;
    uid_t game_uid_ = 0;
    gid_t game_gid_ = 0;
    std::vector<std::string> wrapper_;
    std::vector<int> closed_fds_;
    pid_t xvfb_pid_ = 0;
    int display_number_ = -1;
    Display *display_ = nullptr;
    unsigned long root_ = 0;  // X window ids
    pid_t game_pid_ = 0;
    bool game_reaped_ = false;
    ExitResult game_exit_;
    unsigned long window_ = 0;
    bool window_named_ = false;  // found by the game's name, not by its size
    int window_x_ = 0;
    int window_y_ = 0;
    int picture_w_ = GAME_WIDTH;
    int picture_h_ = GAME_HEIGHT;
    int screenshots_ = 0;
    // Under a compositor: the game's X server (Xwayland) and its variables.
    Display *game_display_ = nullptr;
    std::vector<std::string> session_env_;
    std::vector<pid_t> compositor_pids_;
    std::string runtime_dir_;
};

}  // namespace e2e
