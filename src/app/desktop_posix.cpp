// The game on an X11 desktop, Xwayland's included.
#include "app/desktop.h"

#include <allegro.h>
// After the library: Xlib's macros would clash with its names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <xalleg.h>

#include <cstddef>
#include <string>

// The library's X11 window icon, an XPM it reads when it makes the window.
extern "C" void *allegro_icon;
// snake_icon_xpm: the picture program's 48x48 icon, written at build time.
#include "icon.xpm"

namespace {

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

void name_game_window() {
    allegro_icon = snake_icon_xpm;
    xwin_set_window_name("snake-game", "snake-game");
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
