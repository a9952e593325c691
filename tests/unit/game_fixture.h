// A clean game for every test: all globals at their program-start values,
// the built snake.dat loaded, and a fresh working folder for scores.txt.
#pragma once

#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "rules/snake.h"

class GameTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts a straight snake with its head at (hx, hy) and its body trailing
    // behind in the direction (dx, dy) per segment.
    static void lay_snake(Snake &snake, uint32_t hx, uint32_t hy, int dx, int dy, uint32_t length);
    // A game in progress in the given mode, with ESC held so that the
    // end-of-game screen, if a death brings it up, closes after one frame.
    static void start_playing(uint32_t mode);

    static std::string read_scores();
    static void write_scores(const std::string &text);

private:
    std::string old_dir_;
    std::string dir_;
};

// Every global of the game back at its program-start value, text opaque
// again and both bitmaps cleared.
void reset_game_state();

// Pixel helpers on a 16-bit bitmap.
bool pixel_is(BITMAP *bmp, int x, int y, int r, int g, int b);
// Counts the pixels of a colour inside a rectangle, both corners included.
int count_colour(BITMAP *bmp, int x0, int y0, int x1, int y1, int r, int g, int b);
