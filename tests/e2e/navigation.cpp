#include "navigation.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "screen_reading.h"

namespace e2e {

namespace {
using clock = std::chrono::steady_clock;

// How often the options screen is looked at while a button is held: the
// release must come well within the 120 ms before the next frame.
const milliseconds OPTIONS_POLL(2);

// One 8-bit channel of an X pixel value, whatever the visual's masks.
int channel(unsigned long value, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) shift++;
    int bits = 0;
    while ((mask >> (shift + bits)) & 1) bits++;
    const unsigned long v = (value & mask) >> shift;
    if (bits >= 8) return static_cast<int>(v >> (bits - 8));
    return static_cast<int>(v * 255 / ((1ul << bits) - 1));
}

// Copies the rectangle (x, y, w, h) of the game window into `pixels`, a
// whole window's worth, row by row.
bool read_area(GameUnderX &game, int x, int y, int w, int h, std::vector<Rgb> &pixels) {
    Display *display = game.display();
    XImage *image = XGetImage(display, DefaultRootWindow(display), game.window_left() + x,
                              game.window_top() + y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) return false;
    for (int dy = 0; dy < h; dy++) {
        for (int dx = 0; dx < w; dx++) {
            const unsigned long v = XGetPixel(image, dx, dy);
            pixels[static_cast<size_t>(y + dy) * GAME_WIDTH + static_cast<size_t>(x + dx)] =
                Rgb{channel(v, image->red_mask), channel(v, image->green_mask),
                    channel(v, image->blue_mask)};
        }
    }
    XDestroyImage(image);
    return true;
}

// A picture of the options screen that holds only its three rows and the
// start of its pulsing line, the rest black: a small part of the window,
// read in a fraction of the time the whole window takes.
Frame options_area(GameUnderX &game) {
    std::vector<Rgb> pixels(static_cast<size_t>(GAME_WIDTH) * GAME_HEIGHT, colour::BLACK);
    if (!read_area(game, 80, 165, 261, 146, pixels)) return Frame();
    if (!read_area(game, 155, 420, 15, 8, pixels)) return Frame();
    return Frame(GAME_WIDTH, GAME_HEIGHT, std::move(pixels));
}

// Like GameUnderX::wait_until, on options_area pictures.
bool wait_on_options(GameUnderX &game, const std::function<bool(const Frame &)> &condition,
                     milliseconds timeout, Frame *last) {
    const auto deadline = clock::now() + timeout;
    for (;;) {
        Frame frame = options_area(game);
        const bool met = !frame.empty() && condition(frame);
        if (last && !frame.empty()) *last = frame;
        if (met) return true;
        if (clock::now() >= deadline) return false;
        std::this_thread::sleep_for(OPTIONS_POLL);
    }
}

bool playing(const Frame &frame) { return play_screen_shown(frame) && !game_over_shown(frame); }

milliseconds left_until(clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - clock::now());
    return left > milliseconds(0) ? left : milliseconds(0);
}
}  // namespace

bool open_options(GameUnderX &game, milliseconds timeout, std::string *why) {
    const auto deadline = clock::now() + timeout;
    if (!game.wait_until(menu_shown, timeout)) {
        if (why) *why = "no menu; " + game.screenshot("no_menu");
        return false;
    }
    if (!move_pointer_seen(game, OPTIONS_CLICK_X, OPTIONS_CLICK_Y, left_until(deadline))) {
        if (why) *why = "the game does not draw its pointer on the options button; " +
                        game.screenshot("pointer");
        return false;
    }
    // Short clicks, each longer than a menu frame lasts (50 ms) and released
    // well before the options screen's first frame (120 ms after the menu
    // frame that acted): that frame sees the button up.
    while (clock::now() < deadline) {
        if (!game.pointer_at(OPTIONS_CLICK_X, OPTIONS_CLICK_Y)) break;
        game.press_button();
        std::this_thread::sleep_for(milliseconds(70));
        game.release_button();
        if (game.wait_until(options_shown, std::min(milliseconds(500), left_until(deadline))))
            return true;
    }
    if (why) *why = "no options screen after a click on the options button; " +
                    game.screenshot("options");
    return false;
}

bool escape_to_main_menu(GameUnderX &game, milliseconds timeout) {
    return game.key_until(XK_Escape, menu_shown, timeout);
}

bool leave_options(GameUnderX &game, milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    if (!move_pointer_seen(game, PARK_X, PARK_Y, timeout)) return false;
    return escape_to_main_menu(game, left_until(deadline));
}

bool start_playing(GameUnderX &game, milliseconds timeout, std::string *why) {
    const auto deadline = clock::now() + timeout;
    if (!game.wait_until(menu_shown, timeout)) {
        if (why) *why = "no menu; " + game.screenshot("no_menu");
        return false;
    }
    if (!move_pointer_seen(game, PLAY_CLICK_X, PLAY_CLICK_Y, left_until(deadline))) {
        if (why) *why = "the game does not draw its pointer on the play button; " +
                        game.screenshot("pointer");
        return false;
    }
    if (!game.click_until(PLAY_CLICK_X, PLAY_CLICK_Y, playing, left_until(deadline))) {
        if (why) *why = "no play screen after a click on the play button; " +
                        game.screenshot("play");
        return false;
    }
    return true;
}

bool wait_option_frames(GameUnderX &game, int frames, milliseconds timeout, Frame *last) {
    int seen = -1;
    int changes = 0;
    return wait_on_options(
        game,
        [&](const Frame &f) {
            const int now = pulse_brightness(f);
            if (seen >= 0 && now != seen) changes++;
            seen = now;
            return changes >= frames;
        },
        timeout, last);
}

bool click_arrow_until(GameUnderX &game, int x, int y,
                       const std::function<bool(const Frame &)> &changed, milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    if (!move_pointer_seen(game, x, y, timeout)) return false;
    if (!game.pointer_at(x, y)) return false;
    game.press_button();
    const bool met = wait_on_options(game, changed, left_until(deadline), nullptr);
    game.release_button();
    return met;
}

bool hold_arrow(GameUnderX &game, int x, int y, int frames, milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    if (!move_pointer_seen(game, x, y, timeout)) return false;
    if (!game.pointer_at(x, y)) return false;
    game.press_button();
    const bool seen = wait_option_frames(game, frames, left_until(deadline));
    game.release_button();
    return seen;
}

bool choose_mode(GameUnderX &game, int mode, milliseconds timeout, std::string *why) {
    const auto deadline = clock::now() + timeout;
    for (;;) {
        const int now = mode_shown(game.capture());
        if (now == mode) return true;
        if (now == 0 || clock::now() >= deadline) {
            if (why) *why = "the mode row reads " + std::to_string(now) + "; " +
                            game.screenshot("mode");
            return false;
        }
        const int next = now < mode ? now + 1 : now - 1;
        const int x = now < mode ? RIGHT_ARROW_X : LEFT_ARROW_X;
        if (!click_arrow_until(
                game, x, arrow_y(MODE_ROW),
                [next](const Frame &f) { return mode_shown(f) == next; }, left_until(deadline))) {
            if (why) *why = "the mode did not change to " + std::to_string(next) + "; " +
                            game.screenshot("mode");
            return false;
        }
    }
}

}  // namespace e2e
