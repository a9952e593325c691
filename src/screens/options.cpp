#include "screens/options.h"

#include <allegro.h>

#include "app/datafile.h"
#include "app/display.h"
#include "app/state.h"

// The library marks its classic text calls deprecated; the game relies on
// their global text mode, which sticks once set to transparent.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

int32_t sound_enabled = 1;

namespace {
struct SnakeColour {
    int32_t red, green, blue;
};
const SnakeColour SNAKE_COLOURS[] = {
    {0, 255, 0},      // green
    {255, 0, 0},      // red
    {0, 0, 255},      // blue
    {255, 255, 0},    // yellow
    {255, 0, 255},    // magenta, as player 2's snake
    {128, 128, 128},  // grey
};
constexpr uint32_t COLOUR_COUNT = sizeof SNAKE_COLOURS / sizeof SNAKE_COLOURS[0];

const int ROW_TOPS[] = {165, 225, 285};

void set_mode(uint32_t mode) {
    game_mode = mode;
    step_divisor = (mode == MODE_TWO_PLAYERS) ? 2 : 1;
}

void colour_right() {
    if (colour_index <= 4) colour_index++;
}
void colour_left() {
    // The click sounds on every press, even at the first colour, and
    // whether or not sound is switched on.
    play_sample(data_sample(SND_CLICK), 255, 0, 1000, 0);
    if (colour_index >= 1) colour_index--;
}
void mode_right() {
    if (game_mode < MODE_VS_COMPUTER) set_mode(game_mode + 1);
}
void mode_left() {
    if (game_mode >= 2) set_mode(game_mode - 1);
}
void sound_off() { sound_enabled = 0; }
void sound_on() { sound_enabled = 1; }

struct HitBox {
    int left, right, top, bottom;
    void (*effect)();
};

// Tested in this order, each on the mouse state at its own test; the boxes
// are a little off the arrow pictures, and every bound counts.
const HitBox HIT_BOXES[] = {
    {305, 335, 165, 186, colour_right},
    {230, 245, 165, 186, colour_left},
    {305, 335, 225, 245, mode_right},
    {230, 245, 225, 245, mode_left},
    {230, 245, 285, 305, sound_off},
    {305, 335, 285, 305, sound_on},
};

bool pointer_in(const HitBox &box) {
    return mouse_x >= box.left && mouse_x <= box.right && mouse_y >= box.top &&
           mouse_y <= box.bottom;
}

// Rises by 5 to the top, then falls by 10 to the bottom; both steps may run
// in one frame, so the frame that reaches 255 already shows 245.
void step_pulse() {
    if (pulse_level < 255 && pulse_rising == 1) {
        pulse_level += 5;
        if (pulse_level >= 254) pulse_rising = 0;
    }
    if (pulse_level <= 255 && pulse_rising == 0) {
        pulse_level -= 10;
        if (pulse_level <= 10) pulse_rising = 1;
    }
}

void apply_snake_colour() {
    if (colour_index >= COLOUR_COUNT) return;
    snake_red = SNAKE_COLOURS[colour_index].red;
    snake_green = SNAKE_COLOURS[colour_index].green;
    snake_blue = SNAKE_COLOURS[colour_index].blue;
}
}  // namespace

void draw_options() {
    rest(120);
    clear_bitmap(back_buffer);
    draw_sprite(back_buffer, data_bitmap(IMG_OPTIONS_BACKGROUND), 170, 0);

    const int yellow = makecol(255, 255, 0);
    textprintf(back_buffer, font, 80, 170, yellow, "COULEUR DU SNAKE : ");
    textprintf(back_buffer, font, 80, 230, yellow, " 1J, 2J , IA ?: ");
    textprintf(back_buffer, font, 80, 290, yellow, " BRUITAGES( O/N) : ");

    for (int top : ROW_TOPS) draw_sprite(back_buffer, data_bitmap(IMG_ARROW_RIGHT), 305, top);
    for (int top : ROW_TOPS) draw_sprite(back_buffer, data_bitmap(IMG_ARROW_LEFT), 225, top);
    const int green = makecol(0, 255, 0);
    for (int top : ROW_TOPS) rect(back_buffer, 250, top, 300, top + 20, green);

    step_pulse();
    const int pulse = static_cast<int>(pulse_level);
    textprintf(back_buffer, font, 155, 420, makecol(pulse, pulse, 0),
               " Appuyez sur ESCAPE pour revenir au menu !");

    // No edge detection: a held button steps the value once per frame.
    for (const HitBox &box : HIT_BOXES) {
        if (pointer_in(box) && (mouse_b & 1)) box.effect();
    }

    apply_snake_colour();
    rectfill(back_buffer, 257, 170, 292, 178, makecol(snake_red, snake_green, snake_blue));

    const int blue = makecol(0, 0, 255);
    if (game_mode == MODE_ONE_PLAYER || game_mode == MODE_TWO_PLAYERS) {
        textprintf(back_buffer, font, 257, 230, blue, " %d J", static_cast<int>(game_mode));
    } else if (game_mode == MODE_VS_COMPUTER) {
        text_mode(-1);
        textprintf(back_buffer, font, 250, 230, blue, "  I.A ");
    }
    if (sound_enabled == 1)
        textprintf(back_buffer, font, 255, 290, blue, " OUI ");
    else if (sound_enabled == 0)
        textprintf(back_buffer, font, 255, 290, blue, " NON ");

    if (key[KEY_ESC]) {
        options_active = 0;
        menu_active = 1;
    }
    show_mouse(back_buffer);
    present_frame();
}
