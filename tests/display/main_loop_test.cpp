// The main loop's pacing: pending ticks, frames and game ticks, against the
// library's real timer thread (which needs its X system driver).
#include <allegro.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/main_loop.h"
#include "record/record.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "screens/options.h"

namespace {
class TimerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(install_allegro(SYSTEM_AUTODETECT, &errno, atexit), 0);
        ASSERT_NE(system_driver->id, SYSTEM_NONE) << "these tests need an X display";
        ASSERT_EQ(install_timer(), 0);
        set_color_depth(16);
        screen = create_bitmap(640, 480);
        back_buffer = create_bitmap(640, 480);
        game_data = load_datafile(SNAKE_DAT_PATH);
        ASSERT_NE(game_data, nullptr);
        const auto dir = std::filesystem::temp_directory_path() / "snake-display-tests";
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        std::filesystem::remove(dir / "scores.txt");
    }
};
::testing::Environment *const environment =
    ::testing::AddGlobalTestEnvironment(new TimerEnvironment);

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each test starts the tick timer afresh at one tick a second, so no
        // tick of the timer's own comes during the few milliseconds it takes.
        remove_int(count_tick);
        std::memset(&player1, 0, sizeof player1);
        std::memset(&player2, 0, sizeof player2);
        reset_count = 0;
        reset_snake(player1);
        reset_snake(player2);
        tick_rate = 1;
        tick_counter = 0;
        ticks_this_second = 0;
        frame_due = 0;
        p1_score = p2_score = 0;
        game_mode = MODE_ONE_PLAYER;
        step_divisor = 1;
        menu_active = 1;
        game_active = 0;
        options_active = 0;
        for (int i = 0; i < KEY_MAX; i++) key[i] = 0;
        mouse_x = mouse_y = -100;
        mouse_b = 0;
        clear_bitmap(screen);
    }
    static bool screen_blank() {
        for (int y = 0; y < 480; y += 4)
            for (int x = 0; x < 640; x += 4)
                if (getpixel(screen, x, y) != 0) return false;
        return true;
    }
    static void play() {
        menu_active = 0;
        game_active = 1;
        tick_rate = 1;
    }
};
}  // namespace

TEST_F(MainLoopTest, PendingTicksOnTheMenuGiveOneFrame) {
    main_loop_pass();
    EXPECT_TRUE(screen_blank());  // nothing is drawn before the first tick

    tick_counter = 5;
    main_loop_pass();
    EXPECT_EQ(tick_counter.load(), 0);
    EXPECT_EQ(frame_due, 0);
    EXPECT_FALSE(screen_blank());

    clear_bitmap(screen);
    main_loop_pass();
    EXPECT_TRUE(screen_blank());  // no tick, no frame
}

TEST_F(MainLoopTest, PendingTicksOnTheOptionsScreenGiveOneFrame) {
    menu_active = 0;
    options_active = 1;
    tick_counter = 5;
    main_loop_pass();
    // One frame, one pulse step of five.
    EXPECT_EQ(pulse_level, 5u);
    EXPECT_EQ(tick_counter.load(), 0);
    main_loop_pass();
    EXPECT_EQ(pulse_level, 5u);
}

TEST_F(MainLoopTest, EveryPendingTickIsAGameTickThenOneFrame) {
    play();
    p1_direction = 4;
    tick_counter = 5;
    main_loop_pass();
    EXPECT_EQ(player1.head_x, 370u);
    EXPECT_EQ(ticks_this_second.load(), 5);
    EXPECT_EQ(tick_counter.load(), 0);
    EXPECT_EQ(frame_due, 0);
    // The frame shows the snake where the last tick left it.
    EXPECT_EQ(getpixel(screen, 375, 105), makecol(snake_red, snake_green, snake_blue));
}

TEST_F(MainLoopTest, TwoPlayerTickRunsBothEntriesComputerSteersAfterTheMove) {
    play();
    game_mode = MODE_TWO_PLAYERS;
    step_divisor = 2;
    p1_direction = 4;
    p2_direction = 0;
    key[KEY_S] = 1;
    tick_counter = 1;
    main_loop_pass();
    EXPECT_EQ(player1.head_x, 330u);  // two half steps
    EXPECT_EQ(player2.head_y, 245u);  // its key counts for the second half only

    SetUp();
    play();
    game_mode = MODE_VS_COMPUTER;
    apple_needed = 0;  // keep this apple, straight below player 2
    apple_x = 320;
    apple_y = 400;
    tick_counter = 1;
    main_loop_pass();
    EXPECT_EQ(player2.head_y, 240u);  // standing in the first tick
    EXPECT_EQ(p2_direction, 7);       // chosen for the next one
}

TEST_F(MainLoopTest, DeathUsesNoMoreGameTicksAndTheMenuDrawsNext) {
    play();
    key[KEY_ESC] = 1;  // leave the end-of-game screen at once
    player1.head_x = player1.x[0] = 590;
    p1_direction = 4;
    tick_counter = 4;
    main_loop_pass();
    EXPECT_EQ(ticks_this_second.load(), 1);
    EXPECT_EQ(menu_active, 1);
    EXPECT_EQ(tick_counter.load(), 3);
    EXPECT_EQ(frame_due, 1);
    key[KEY_ESC] = 0;

    clear_bitmap(screen);
    main_loop_pass();
    EXPECT_EQ(tick_counter.load(), 0);
    EXPECT_FALSE(screen_blank());
    // With no tick pending the menu is drawn as well.
    SetUp();
    play();
    key[KEY_ESC] = 1;
    player1.head_x = player1.x[0] = 590;
    p1_direction = 4;
    tick_counter = 1;
    main_loop_pass();
    key[KEY_ESC] = 0;
    clear_bitmap(screen);
    main_loop_pass();
    EXPECT_FALSE(screen_blank());
}

TEST_F(MainLoopTest, ApplesArePlacedOnEveryPassUntilTheFirstGameTick) {
    ASSERT_EQ(apple_needed, 1);
    main_loop_pass();
    const uint32_t first = apple_x;
    main_loop_pass();
    EXPECT_NE(apple_x, first);  // consecutive apples are more than 20 pixels apart
    play();
    tick_counter = 1;
    main_loop_pass();
    EXPECT_EQ(apple_needed, 0);
    const uint32_t kept = apple_x;
    main_loop_pass();
    EXPECT_EQ(apple_x, kept);
}

TEST_F(MainLoopTest, RecordFileIsReadOnEveryPass) {
    FILE *f = fopen(RECORD_FILE_NAME, "w");
    ASSERT_NE(f, nullptr);
    fputs("250", f);
    fclose(f);
    main_loop_pass();
    EXPECT_EQ(record, 250u);
    std::filesystem::remove(RECORD_FILE_NAME);
}

TEST(TimerCallbacks, CountSecondCopiesAndClearsCountTickAdds) {
    tick_counter = 0;
    count_tick();
    count_tick();
    EXPECT_EQ(tick_counter.load(), 2);
    ticks_this_second = 17;
    count_second();
    EXPECT_EQ(ticks_last_second.load(), 17);
    EXPECT_EQ(ticks_this_second.load(), 0);
    tick_counter = 0;
}

// Re-installing the tick timer on every pass changes its period but does not
// restart it, so the ticks keep coming while the loop spins.
TEST(RealTimer, TicksKeepTheirRhythmWhileTheLoopSpins) {
    std::memset(&player1, 0, sizeof player1);
    reset_snake(player1);
    menu_active = 0;
    game_active = 1;
    options_active = 0;
    game_mode = MODE_ONE_PLAYER;
    p1_direction = 0;
    ticks_this_second = 0;
    tick_counter = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    while (std::chrono::steady_clock::now() < end) main_loop_pass();
    // About 20 game ticks; far from none, which a restarted period would give.
    EXPECT_GE(ticks_this_second.load(), 10);
    EXPECT_LE(ticks_this_second.load(), 30);
}
