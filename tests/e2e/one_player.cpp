#include "one_player.h"

#include <optional>
#include <vector>

#include "navigation.h"
#include "steering.h"

namespace e2e {

bool in_play(const Frame &frame) { return play_screen_shown(frame) && !game_over_shown(frame); }

namespace {

GameOfTen play_once(GameUnderX &game, Rgb snake, const GameTimeouts &timeouts) {
    GameOfTen result;
    std::string why;
    if (!start_playing(game, timeouts.screen, &why)) {
        result.story = why;
        return result;
    }
    result.started = true;
    result.start = game.capture();
    result.zero = glyph_mask(result.start, SCORE_DIGIT_LEFT, STATUS_TOP, snake);

    const Chase chase = steer_to_apple(game, snake, timeouts.chase);
    result.story += "the chase:\n" + chase.trace;
    if (chase.ate) {
        // The score row reads 10 from the next play frame on: a new first
        // digit, then the 0 moved along by one character. A snake that ate
        // by a wall may have hit it first: the end-of-game screen's score.
        result.ate = game.wait_until(
            [&result, snake](const Frame &f) {
                const bool over = game_over_shown(f);
                const int x = over ? FINAL_SCORE_DIGIT_LEFT : SCORE_DIGIT_LEFT;
                const int y = over ? FINAL_SCORE_ROW : STATUS_TOP;
                const Rgb ink = over ? colour::YELLOW : snake;
                const uint64_t first = glyph_mask(f, x, y, ink);
                const uint64_t second = glyph_mask(f, x + GLYPH_SIZE, y, ink);
                if (first == 0 || first == result.zero || second != result.zero) return false;
                result.one = first;
                return true;
            },
            timeouts.screen, &result.eaten);
        if (!result.ate) result.story += "the apple went, but the score does not read 10\n";
    }

    // A chase that ended on the wall has already brought the end-of-game screen.
    if (game.wait_until(game_over_shown, milliseconds(0))) {
        result.ended = true;
    } else {
        std::string trace;
        result.ended = drive_into_wall(game, snake, /*moving=*/chase.heading != Heading::NONE,
                                       timeouts.wall, &trace);
        result.story += "the way to the wall: " + trace + "\n";
    }
    if (result.ended) result.game_over = game.capture();
    return result;
}

// The end-of-game screen reads "Votre score est de : 0".
bool scored_nothing(const GameOfTen &game) {
    const Frame &f = game.game_over;
    return glyph_mask(f, FINAL_SCORE_DIGIT_LEFT, FINAL_SCORE_ROW, colour::YELLOW) == game.zero &&
           glyph_mask(f, FINAL_SCORE_DIGIT_LEFT + GLYPH_SIZE, FINAL_SCORE_ROW, colour::YELLOW) == 0;
}

}  // namespace

GameOfTen play_game_of_ten(GameUnderX &game, Rgb snake, const GameTimeouts &timeouts,
                           int attempts) {
    std::string earlier;
    for (int attempt = 1;; attempt++) {
        GameOfTen result = play_once(game, snake, timeouts);
        result.games = attempt;
        const bool again = result.started && result.ended && !result.ate &&
                           scored_nothing(result) && attempt < attempts &&
                           escape_to_main_menu(game, timeouts.screen);
        if (!again) {
            result.story = earlier + result.story;
            return result;
        }
        earlier += "game " + std::to_string(attempt) + " missed the apple:\n" + result.story;
    }
}

}  // namespace e2e
