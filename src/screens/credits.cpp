#include "screens/credits.h"

#include <allegro.h>

#include "app/datafile.h"
#include "app/display.h"

// The library marks its classic text calls deprecated; the game relies on
// their global text mode, which sticks once set to transparent.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {
enum LineColour { HEADING, CONTENT };

struct CreditLine {
    int offset;  // from the scroll position
    LineColour colour;
    const char *text;
};

const CreditLine CREDIT_LINES[] = {
    {-60, HEADING, "Programmeur :"},
    {-40, CONTENT, "L'equipe du jeu"},
    {0, HEADING, "Special GreetZ to :"},
    {20, CONTENT, "Les testeurs"},
    {40, CONTENT, "Les graphistes"},
    {60, CONTENT, "Les joueurs"},
    {80, CONTENT, "Les traducteurs"},
    {100, CONTENT, "Les relecteurs"},
    {120, CONTENT, "Les amis du projet"},
    {140, CONTENT, "Vous, qui lisez ces lignes"},
    {160, CONTENT, "Merci a tous les membres de la communaute des programmeurs"},
    {200, HEADING, " Site Web : "},
    {220, CONTENT, "www.example.org"},
};

constexpr int FIRST_POSITION = 540;
constexpr int SCROLL_STEP = 2;
constexpr int FRAME_MS = 70;
}  // namespace

void draw_credits_frame(int position) {
    text_mode(-1);
    clear_bitmap(back_buffer);
    draw_sprite(back_buffer, data_bitmap(IMG_CREDITS_BACKGROUND), 0, 0);
    const int yellow = makecol(255, 255, 0);
    const int green = makecol(0, 255, 0);
    for (const CreditLine &line : CREDIT_LINES) {
        textprintf_centre(back_buffer, font, 320, position + line.offset,
                          line.colour == HEADING ? yellow : green, "%s", line.text);
    }
    present_frame();
}

// Blocks for the whole sequence: no key or button can cut it short.
void run_credits() {
    clear_bitmap(back_buffer);
    int position = FIRST_POSITION;
    do {
        draw_credits_frame(position);
        rest(FRAME_MS);
        position -= SCROLL_STEP;
    } while (position - 60 > -300);
}
