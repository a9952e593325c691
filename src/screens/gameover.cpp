#include "screens/gameover.h"

#include <allegro.h>

#include "app/display.h"
#include "app/state.h"
#include "record/record.h"
#include "rules/collide.h"
#include "rules/settings.h"

// The library marks its classic text calls deprecated; the game relies on
// their global text mode, which sticks once set to transparent.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {
struct BannerText {
    int x;
    const char *text;
    int red, green, blue;
};

// Each letter is its own " X " text, 10 pixels after the one before: only
// the transparent text mode keeps their blank cells off their neighbours.
const BannerText NEW_RECORD_BANNER[] = {
    {160, " N ", 255, 0, 0},     {170, " E ", 0, 255, 0},     {180, " W ", 0, 0, 255},
    {200, " R ", 255, 255, 0},   {210, " E ", 0, 255, 255},   {220, " C ", 255, 255, 255},
    {230, " O ", 120, 0, 0},     {240, " R ", 0, 200, 0},     {250, " D ", 0, 20, 200},
    {280, " TOUTES NOS FELICITATIONS !", 0, 255, 0},
};
}  // namespace

// Drawn over the last play frame, which is not cleared.
void draw_game_over() {
    text_mode(-1);
    rect(back_buffer, 150, 100, 500, 300, makecol(96, 0, 0));
    if (game_mode == MODE_ONE_PLAYER) {
        if (new_record_flag == 0)
            textprintf(back_buffer, font, 160, 120, makecol(0, 255, 0),
                       "VOUS N'AVEZ PAS PU BATTRE LE RECORD !");
        if (new_record_flag == 1) {
            for (const BannerText &t : NEW_RECORD_BANNER)
                textprintf(back_buffer, font, t.x, 120, makecol(t.red, t.green, t.blue), "%s",
                           t.text);
        }
        textprintf(back_buffer, font, 160, 150, makecol(255, 255, 0), "Votre score est de : %d",
                   static_cast<int>(p1_score));
        // A new record the save could not keep is not passed off as kept.
        if (new_record_flag == 1 && record_save_failed != 0)
            textprintf(back_buffer, font, 160, 180, makecol(255, 128, 0), "%s",
                       "LE RECORD N'A PAS PU ETRE ENREGISTRE !");
    }
    if (game_mode == MODE_TWO_PLAYERS || game_mode == MODE_VS_COMPUTER) {
        textprintf(back_buffer, font, 160, 150, makecol(snake_red, snake_green, snake_blue),
                   "Le score du joueur 1 est : %d", static_cast<int>(p1_score));
        textprintf(back_buffer, font, 160, 180, makecol(255, 0, 255),
                   "Le score du joueur 2 est : %d", static_cast<int>(p2_score));
    }
    textprintf(back_buffer, font, 160, 280, makecol(96, 128, 0),
               "Appuyez sur ESCAPE pour retourner au menu ");
    if (key[KEY_ESC]) menu_active = 1;
    present_frame();
}

// Blocks, redrawing as fast as it can, until ESC; the play state is over.
void run_game_over() {
    game_active = 0;
    do {
        draw_game_over();
    } while (menu_active == 0);
    p1_score = 0;
    p2_score = 0;
}
