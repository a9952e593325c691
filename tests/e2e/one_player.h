// A one-player game played through the window from the main menu to the
// end-of-game screen: the play button, one apple eaten (a score of 10), a
// drive into the wall. Shared by the tests that need a whole game played
// around something else (a damaged record file, a memory checker).
#pragma once

#include <cstdint>
#include <string>

#include "harness.h"
#include "screen_reading.h"

namespace e2e {

// Where the digits of the texts lie, the characters being 8 pixels wide:
// " SCORE : %d" and "RECORD : %d" on row 0 from x = 30 and x = 540, and
// "Votre score est de : %d" on row 150 from x = 160.
constexpr int SCORE_DIGIT_LEFT = SCORE_LEFT + 9 * GLYPH_SIZE;
constexpr int RECORD_DIGIT_LEFT = RECORD_LEFT + 9 * GLYPH_SIZE;
constexpr int FINAL_SCORE_DIGIT_LEFT = 160 + 21 * GLYPH_SIZE;
constexpr int FINAL_SCORE_ROW = 150;

// The play screen without the end-of-game box over it.
bool in_play(const Frame &frame);

// How long each step may take: a game under a memory checker runs many
// times slower than on its own.
struct GameTimeouts {
    milliseconds screen{10000};  // a screen to come up after a click or a key
    milliseconds chase{30000};   // the snake to reach the apple
    milliseconds wall{15000};    // the snake to reach the wall
};

// What a game of ten points showed.
struct GameOfTen {
    bool started = false;  // the play screen came up
    Frame start;           // its first picture
    uint64_t zero = 0;     // the score's "0" in that picture
    int games = 0;         // games played, the last one included
    bool ate = false;      // the snake ate the apple
    uint64_t one = 0;      // the "1" of the score 10 once it was eaten
    Frame eaten;           // the picture that showed the score 10
    bool ended = false;    // the end-of-game screen came up
    Frame game_over;       // a picture of it
    std::string story;     // what happened, for failure messages
};

// From the main menu: starts a one-player game, steers player 1's snake
// (of colour `snake`) to the apple, then into the nearest wall, and waits
// for the end-of-game screen, which it leaves on the screen. A snake that
// dies before it reaches the apple (the steering turns late when the
// machine is busy) scores nothing, so the game is played again from the
// menu, up to `attempts` games in all, and the last one is reported. A
// game without points saves no record, so every attempt starts alike.
GameOfTen play_game_of_ten(GameUnderX &game, Rgb snake, const GameTimeouts &timeouts,
                           int attempts = 1);

}  // namespace e2e
