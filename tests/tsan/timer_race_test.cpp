// The main loop against the library's real timer thread, built with
// ThreadSanitizer. The tick counters are the only game state the timer
// callbacks touch; any access to them, or to anything else of the game's,
// from both threads without an order between them is reported and fails
// the run.
#include <allegro.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "app/datafile.h"
#include "app/main_loop.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "screens/options.h"

namespace {

using clock_type = std::chrono::steady_clock;

class TimerRaceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(install_allegro(SYSTEM_AUTODETECT, &errno, atexit), 0);
        ASSERT_NE(system_driver->id, SYSTEM_NONE) << "this test needs an X display";
        ASSERT_EQ(install_timer(), 0);
        set_color_depth(16);
        screen = create_bitmap(640, 480);
        back_buffer = create_bitmap(640, 480);
        game_data = load_game_datafile(SNAKE_DAT_PATH);
        ASSERT_NE(game_data, nullptr);
        const auto dir = std::filesystem::temp_directory_path() / "snake-tsan-test";
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        std::filesystem::remove(dir / "scores.txt");
    }
};

// Runs main loop passes for `seconds`; returns the highest "VITESSE" read.
int32_t spin(double seconds) {
    int32_t highest = 0;
    const auto end = clock_type::now() + std::chrono::duration<double>(seconds);
    while (clock_type::now() < end) {
        main_loop_pass();
        highest = std::max(highest, ticks_last_second.load());
    }
    return highest;
}

}  // namespace

TEST_F(TimerRaceTest, CountersStayWholeUnderTheRealTimer) {
    std::memset(&player1, 0, sizeof player1);
    std::memset(&player2, 0, sizeof player2);
    reset_snake(player1);
    reset_snake(player2);
    game_mode = MODE_ONE_PLAYER;
    menu_active = 1;
    game_active = 0;
    options_active = 0;
    tick_counter = 0;
    ticks_this_second = 0;
    ticks_last_second = 0;
    install_int_ex(count_second, BPS_TO_TIMER(1));

    // The menu uses the ticks up without game ticks: nothing to count.
    mouse_x = mouse_y = -100;
    mouse_b = 0;
    EXPECT_EQ(spin(1.2), 0);

    // Play at a brisk 200 ticks a second, the snake standing still: the
    // timer thread adds ticks and copies the second's count while the main
    // loop takes them and counts them, over three whole seconds.
    menu_active = 0;
    game_active = 1;
    p1_direction = 0;
    tick_rate = 200;
    const int32_t highest = spin(3.2);
    EXPECT_GE(highest, 100);
    EXPECT_LE(highest, 260);
    EXPECT_EQ(game_active, 1);

    remove_int(count_second);
    remove_int(count_tick);
}
