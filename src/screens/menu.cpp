#include "screens/menu.h"

#include <allegro.h>

#include "app/datafile.h"
#include "app/display.h"
#include "app/lifecycle.h"
#include "app/state.h"
#include "screens/credits.h"

namespace {
enum MenuAction { START_GAME, OPEN_OPTIONS, SHOW_CREDITS, QUIT_GAME };

struct MenuButton {
    int picture;
    int top;
    MenuAction action;
};

// Top to bottom, 100 pixels apart; tested in this order.
const MenuButton BUTTONS[] = {
    {IMG_BUTTON_PLAY, 100, START_GAME},
    {IMG_BUTTON_OPTIONS, 200, OPEN_OPTIONS},
    {IMG_BUTTON_CREDITS, 300, SHOW_CREDITS},
    {IMG_BUTTON_QUIT, 400, QUIT_GAME},
};

constexpr int BUTTON_LEFT = 180;
constexpr int BUTTON_RIGHT = 435;   // 256 pixels wide
constexpr int BUTTON_HEIGHT = 76;   // bottom row at top + 76: 77 rows

// The mouse is read at the moment of each test; all four bounds count.
bool pointer_over(const MenuButton &button) {
    return mouse_x >= BUTTON_LEFT && mouse_x <= BUTTON_RIGHT && mouse_y >= button.top &&
           mouse_y <= button.top + BUTTON_HEIGHT;
}

void act(MenuAction action) {
    switch (action) {
    case START_GAME:
        menu_active = 0;
        game_active = 1;
        options_active = 0;
        break;
    case OPEN_OPTIONS:
        game_active = 0;
        menu_active = 0;
        options_active = 1;
        break;
    case SHOW_CREDITS:
        run_credits();
        break;
    case QUIT_GAME:
        quit_game();
    }
}
}  // namespace

void draw_menu() {
    clear_bitmap(back_buffer);
    draw_sprite(back_buffer, data_bitmap(IMG_MENU_TITLE), 110, 0);
    for (const MenuButton &button : BUTTONS)
        draw_sprite(back_buffer, data_bitmap(button.picture), BUTTON_LEFT, button.top);
    const int green = makecol(0, 255, 0);
    for (const MenuButton &button : BUTTONS)
        rect(back_buffer, BUTTON_LEFT, button.top, BUTTON_RIGHT, button.top + BUTTON_HEIGHT, green);
    show_mouse(back_buffer);

    // No edge detection: a button held down acts in every frame.
    const int blue = makecol(0, 0, 255);
    for (const MenuButton &button : BUTTONS) {
        if (mouse_x < BUTTON_LEFT) break;
        if (!pointer_over(button)) continue;
        rect(back_buffer, BUTTON_LEFT, button.top, BUTTON_RIGHT, button.top + BUTTON_HEIGHT, blue);
        if (mouse_b & 1) act(button.action);
    }
    present_frame();
}
