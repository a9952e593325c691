#include "game_fixture.h"

#include "game_globals.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "app/main_loop.h"
#include "record/record.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/tick.h"
#include "screens/options.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

void reset_game_state() {
    reset_game_globals();
    text_mode(0);
    clear_bitmap(back_buffer);
    clear_bitmap(screen);
}

void GameTest::SetUp() {
    if (!game_data) {
        game_data = load_datafile(SNAKE_DAT_PATH);
        ASSERT_NE(game_data, nullptr) << "cannot load " << SNAKE_DAT_PATH;
    }
    reset_game_state();
    old_dir_ = std::filesystem::current_path().string();
    // A folder no other test uses: create_directory fails on one that exists.
    std::random_device seed;
    for (int attempt = 0; attempt < 100 && dir_.empty(); attempt++) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / ("snake-unit-" + std::to_string(seed()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) dir_ = candidate.string();
    }
    ASSERT_FALSE(dir_.empty()) << "cannot make a folder in " << std::filesystem::temp_directory_path();
    std::filesystem::current_path(dir_);
    std::srand(12345);
}

void GameTest::TearDown() {
    std::error_code error;
    if (!old_dir_.empty()) std::filesystem::current_path(old_dir_, error);
    if (!dir_.empty()) std::filesystem::remove_all(dir_, error);
}

void GameTest::lay_snake(Snake &snake, uint32_t hx, uint32_t hy, int dx, int dy,
                         uint32_t length) {
    snake.head_x = hx;
    snake.head_y = hy;
    snake.length = length;
    for (uint32_t i = 0; i <= length && i < SNAKE_CAPACITY; i++) {
        snake.x[i] = hx + static_cast<uint32_t>(dx * static_cast<int>(i));
        snake.y[i] = hy + static_cast<uint32_t>(dy * static_cast<int>(i));
    }
}

void GameTest::start_playing(uint32_t mode) {
    game_mode = mode;
    step_divisor = (mode == MODE_TWO_PLAYERS) ? 2 : 1;
    menu_active = 0;
    game_active = 1;
    options_active = 0;
    key[KEY_ESC] = 1;
    // An apple far from everything the tests put on the field.
    apple_x = prev_apple_x = 560;
    apple_y = prev_apple_y = 400;
}

std::string GameTest::read_scores() {
    FILE *f = std::fopen(RECORD_FILE_NAME, "rb");
    if (!f) return "<missing>";
    std::string text;
    int c;
    while ((c = std::fgetc(f)) != EOF) text.push_back(static_cast<char>(c));
    std::fclose(f);
    return text;
}

void GameTest::write_scores(const std::string &text) {
    FILE *f = std::fopen(RECORD_FILE_NAME, "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

bool pixel_is(BITMAP *bmp, int x, int y, int r, int g, int b) {
    return getpixel(bmp, x, y) == makecol(r, g, b);
}

int count_colour(BITMAP *bmp, int x0, int y0, int x1, int y1, int r, int g, int b) {
    const int want = makecol(r, g, b);
    int n = 0;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            if (getpixel(bmp, x, y) == want) n++;
    return n;
}
