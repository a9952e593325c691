#include "app/main_loop.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "app/datafile.h"
#include "app/desktop.h"
#include "app/lifecycle.h"
#include "record/record.h"
#include "rules/apple.h"
#include "rules/computer.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "screens/menu.h"
#include "screens/options.h"
#include "screens/play.h"

int frame_due = 0;

// Sound is a nicety: when no MIDI device answers, digital sound alone will
// do, and when nothing answers the game runs silent.
static void start_sound() {
    if (install_sound(DIGI_AUTODETECT, MIDI_AUTODETECT, nullptr) == 0) return;
    install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr);
}

int start_up() {
    prepare_start();
    name_game_window();
    allegro_init();
    // Without a display the library falls back to its driverless system, on
    // which the keyboard and timer cannot start: say so instead of crashing.
    if (!system_driver || system_driver->id == SYSTEM_NONE) {
        std::fprintf(stderr, "snake: no display to open the game window on\n");
        return 1;
    }
    set_window_title("Snake");
    set_close_button_callback(note_close_button);
    read_keys_by_place();
    install_keyboard();
    install_mouse();
    install_timer();
    start_sound();

    set_color_depth(16);
    const int mode_set = start_display();
    // Every thread of the library has started by now.
    watch_ending_signals();
    if (mode_set != 0) {
        allegro_message("%s\n", allegro_error);
        end_game_if_asked();
        return 1;
    }

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    back_buffer = create_bitmap(PICTURE_WIDTH, PICTURE_HEIGHT);

    game_data = load_game_datafile(DATAFILE_NAME);
    if (!game_data) {
        // Every screen draws from the datafile, so there is nothing to run on.
        // The full-screen mode holds the pointer and the keyboard: it is
        // left first, or the box's OK could never be clicked.
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        std::error_code no_folder;
        const std::string folder = std::filesystem::current_path(no_folder).u8string();
        std::fprintf(stderr, "snake: cannot load %s from the folder %s\n", DATAFILE_NAME,
                     no_folder ? "(unknown)" : folder.c_str());
        end_game_if_asked();
        clear_way_for_message();
        allegro_message("Can not load pomme.bmp !");
        end_game_if_asked();
        return 1;
    }

    install_int_ex(count_second, BPS_TO_TIMER(1));

    reset_snake(player1);
    reset_snake(player2);

    menu_active = 1;
    game_active = 0;
    options_active = 0;
    return 0;
}

static bool on_menu() { return menu_active == 1 && game_active == 0 && options_active == 0; }
static bool on_options() { return menu_active == 0 && game_active == 0 && options_active == 1; }
static bool in_play() { return menu_active == 0 && game_active == 1; }

// Uses up the pending ticks of a screen that draws one frame for all of them.
static void use_up_ticks(bool (*current)()) {
    while (tick_counter.load() > 0 && current()) {
        frame_due = 1;
        tick_counter.fetch_sub(1);
    }
}

void main_loop_pass() {
    // Re-installing with an unchanged rate keeps the ticks' rhythm; a new
    // rate (a level reached, or a reset) takes effect from here.
    install_int_ex(count_tick, BPS_TO_TIMER(tick_rate));
    load_record();
    if (apple_needed) place_apple();

    use_up_ticks(on_menu);
    if (frame_due && on_menu()) {
        draw_menu();
        frame_due = 0;
    }

    use_up_ticks(on_options);
    if (frame_due && on_options()) {
        draw_options();
        frame_due = 0;
    }

    // Every pending tick is a game tick: when drawing falls behind, frames
    // are dropped, never ticks. A death inside a tick ends the run here.
    while (tick_counter.load() > 0 && in_play()) {
        ticks_this_second.fetch_add(1);
        run_tick_player1();
        if (game_mode == MODE_TWO_PLAYERS) run_tick_player2();
        if (game_mode == MODE_VS_COMPUTER) steer_computer();
        frame_due = 1;
        tick_counter.fetch_sub(1);
    }
    if (frame_due && in_play()) {
        draw_play_frame();
        frame_due = 0;
    }
}
