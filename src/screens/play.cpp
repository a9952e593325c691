#include "screens/play.h"

#include <allegro.h>

#include "app/datafile.h"
#include "app/display.h"
#include "app/state.h"
#include "record/record.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "rules/settings.h"

// The library marks its classic text calls deprecated; the game relies on
// their global text mode, which sticks once set to transparent.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

static bool two_snakes_in_play() {
    return game_mode == MODE_TWO_PLAYERS || game_mode == MODE_VS_COMPUTER;
}

void draw_snake_frame(const uint32_t *x, const uint32_t *y, int red, int green, int blue,
                      uint32_t length) {
    const int yellow = makecol(255, 255, 0);
    rect(back_buffer, 48, 48, 602, 432, yellow);
    rect(back_buffer, 50, 50, 600, 430, yellow);

    // The two rows differ in their spacing: the top one has a blank before
    // SCORE and three after VITESSE, the bottom one three after NIVEAU.
    const int top_colour = makecol(snake_red, snake_green, snake_blue);
    const int speed = ticks_last_second.load();
    textprintf(back_buffer, font, 200, 0, top_colour, "VITESSE   : %d", speed);
    textprintf(back_buffer, font, 30, 0, top_colour, " SCORE : %d", static_cast<int>(p1_score));
    textprintf(back_buffer, font, 400, 0, top_colour, "NIVEAU : %d", level);
    if (game_mode == MODE_ONE_PLAYER)
        textprintf(back_buffer, font, 540, 0, top_colour, "RECORD : %d", static_cast<int>(record));

    if (two_snakes_in_play()) {
        const int magenta = makecol(255, 0, 255);
        textprintf(back_buffer, font, 30, 470, magenta, "SCORE : %d", static_cast<int>(p2_score));
        textprintf(back_buffer, font, 200, 470, magenta, "VITESSE : %d", speed);
        textprintf(back_buffer, font, 400, 470, magenta, "NIVEAU   : %d", level);
    }

    draw_sprite(back_buffer, data_bitmap(apple_sprite), static_cast<int>(apple_x),
                static_cast<int>(apple_y));

    // Head first; every segment the same 11 x 11 square.
    const int colour = makecol(red, green, blue);
    for (uint32_t i = 0; i < length; i++) {
        rectfill(back_buffer, static_cast<int>(x[i] + 10), static_cast<int>(y[i] + 10),
                 static_cast<int>(x[i]), static_cast<int>(y[i]), colour);
    }
}

void draw_play_frame() {
    clear_bitmap(back_buffer);
    if (two_snakes_in_play())
        draw_snake_frame(player2.x, player2.y, 255, 0, 255, player2.length);
    draw_snake_frame(player1.x, player1.y, snake_red, snake_green, snake_blue, player1.length);
    present_frame();
}
