#include "game_globals.h"

#include <allegro.h>

#include <cstring>

#include "app/main_loop.h"
#include "record/record.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "screens/options.h"

void reset_game_globals() {
    std::memset(&player1, 0, sizeof player1);
    std::memset(&player2, 0, sizeof player2);
    reset_count = 0;
    p1_direction = p2_direction = 0;
    tick_rate = 20;
    level = 0;
    p1_score = p2_score = 0;
    new_record_flag = 0;
    apple_x = apple_y = prev_apple_x = prev_apple_y = 0;
    apple_sprite = 0;
    apple_needed = 0;
    game_mode = MODE_ONE_PLAYER;
    step_divisor = 1;
    sound_enabled = 1;
    colour_index = 1;
    snake_red = 0;
    snake_green = 255;
    snake_blue = 0;
    pulse_level = 0;
    pulse_rising = 1;
    record = 0;
    record_save_failed = 0;
    menu_active = 1;
    game_active = 0;
    options_active = 0;
    frame_due = 0;
    tick_counter = 0;
    ticks_this_second = 0;
    ticks_last_second = 0;
    for (int i = 0; i < KEY_MAX; i++) key[i] = 0;
    mouse_x = -100;
    mouse_y = -100;
    mouse_b = 0;
}
