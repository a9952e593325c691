// The display's rules, the same on every system: the picture's place in the
// window, the pointer read back through it, and the one frame call.
#include "app/display.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#include "app/lifecycle.h"

BITMAP *back_buffer = nullptr;

namespace {

// The game's own way to the screen is open (open_scaled_display).
bool scaled = false;

// Presses of F11, or of Enter with Alt held, not yet acted on: each one
// counts, however short, and a key held down counts once.
std::atomic<int> switch_presses{0};
// Kept by the library's input thread alone.
bool f11_down = false;
bool enter_down = false;

void note_switch_key(int scancode) {
    const int code = scancode & 0x7f;
    const bool pressed = (scancode & 0x80) == 0;
    bool *down = code == KEY_F11                                   ? &f11_down
                 : (code == KEY_ENTER || code == KEY_ENTER_PAD) ? &enter_down
                                                                  : nullptr;
    if (!down) return;
    const bool fresh = pressed && !*down;
    *down = pressed;
    if (fresh && (code == KEY_F11 || (key_shifts & KB_ALT_FLAG))) switch_presses.fetch_add(1);
}

// The picture's place, four 16-bit fields in one word, so that the input
// thread never reads half of an old place and half of a new one.
std::atomic<uint64_t> picture_place{0};

uint64_t packed(PictureRect r) {
    auto field = [](int v, int shift) {
        return static_cast<uint64_t>(static_cast<uint16_t>(std::clamp(v, 0, 0xffff))) << shift;
    };
    return field(r.x, 0) | field(r.y, 16) | field(r.w, 32) | field(r.h, 48);
}

PictureRect unpacked(uint64_t p) {
    auto field = [p](int shift) { return static_cast<int>((p >> shift) & 0xffff); };
    return PictureRect{field(0), field(16), field(32), field(48)};
}

// Rounds towards minus infinity, so that the black left of and above the
// picture maps to negative points, never to its first row or column.
int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// The library's settings name a driver for this kind of mode: the player
// chose it, and gets the library's own. The library reads these names.
bool named_in_settings(const char *base) {
    const std::string names[] = {std::string(base) + "_640x480x16", std::string(base) + "_16bpp",
                                 base, std::string(base) + "1"};
    for (const std::string &name : names)
        if (get_config_id("graphics", name.c_str(), 0) != 0) return true;
    return false;
}

}  // namespace

PictureRect fit_picture(int width, int height) {
    const int factor = std::min(width / PICTURE_WIDTH, height / PICTURE_HEIGHT);
    // A whole multiple fills at least three quarters of the height.
    if (factor >= 1 && 4 * PICTURE_HEIGHT * factor >= 3 * height) {
        const int w = PICTURE_WIDTH * factor, h = PICTURE_HEIGHT * factor;
        return PictureRect{(width - w) / 2, (height - h) / 2, w, h};
    }
    // The largest 4:3 rectangle: the whole height, or the whole width.
    int w = height * 4 / 3, h = height;
    if (w > width) {
        w = width;
        h = width * 3 / 4;
    }
    return PictureRect{(width - w) / 2, (height - h) / 2, std::max(w, 1), std::max(h, 1)};
}

int window_factor(int width, int height) {
    return std::max(1, std::min(width / PICTURE_WIDTH, height / PICTURE_HEIGHT));
}

void note_picture_place(PictureRect where) { picture_place.store(packed(where)); }

void window_to_picture(int *x, int *y) {
    const PictureRect r = unpacked(picture_place.load());
    if (r.w == 0 || r.h == 0) return;
    *x = static_cast<int>(floor_div(static_cast<int64_t>(*x - r.x) * PICTURE_WIDTH, r.w));
    *y = static_cast<int>(floor_div(static_cast<int64_t>(*y - r.y) * PICTURE_HEIGHT, r.h));
}

int start_display() {
    if (named_in_settings("gfx_card"))
        return set_gfx_mode(GFX_AUTODETECT, PICTURE_WIDTH, PICTURE_HEIGHT, 0, 0);
    if (named_in_settings("gfx_cardw"))
        return set_gfx_mode(GFX_AUTODETECT_WINDOWED, PICTURE_WIDTH, PICTURE_HEIGHT, 0, 0);
    if (set_gfx_mode(prepare_scaled_display(), PICTURE_WIDTH, PICTURE_HEIGHT, 0, 0) == 0) {
        scaled = open_scaled_display();
        if (scaled) keyboard_lowlevel_callback = note_switch_key;
        return 0;
    }
    // No window at all: whatever the library can give.
    return set_gfx_mode(GFX_AUTODETECT, PICTURE_WIDTH, PICTURE_HEIGHT, 0, 0);
}

void present_frame() {
    if (scaled) {
        present_scaled(back_buffer);
        // Two presses since the last frame switch there and back.
        if (switch_presses.exchange(0) % 2 == 1) switch_full_screen();
    } else {
        blit(back_buffer, screen, 0, 0, 0, 0, screen->w, screen->h);
    }
    end_game_if_asked();
}
