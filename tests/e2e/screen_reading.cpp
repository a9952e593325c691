#include "screen_reading.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace e2e {

int button_top(int button) { return 100 + 100 * button; }

std::vector<std::pair<int, int>> button_frame_points(int button) {
    const int top = button_top(button);
    const int bottom = top + BUTTON_HEIGHT;
    std::vector<std::pair<int, int>> points;
    for (int x : {BUTTON_LEFT + 20, (BUTTON_LEFT + BUTTON_RIGHT) / 2, BUTTON_RIGHT - 20}) {
        points.emplace_back(x, top);
        points.emplace_back(x, bottom);
    }
    for (int y : {top + 10, top + BUTTON_HEIGHT / 2, bottom - 10}) {
        points.emplace_back(BUTTON_LEFT, y);
        points.emplace_back(BUTTON_RIGHT, y);
    }
    return points;
}

bool button_frame_is(const Frame &frame, int button, Rgb wanted) {
    for (const auto &p : button_frame_points(button))
        if (!frame.is(p.first, p.second, wanted)) return false;
    return true;
}

bool menu_shown(const Frame &frame) {
    for (int b = 0; b < BUTTON_COUNT; b++) {
        if (!button_frame_is(frame, b, colour::GREEN) && !button_frame_is(frame, b, colour::BLUE))
            return false;
    }
    return true;
}

bool menu_at_rest(const Frame &frame) {
    for (int b = 0; b < BUTTON_COUNT; b++)
        if (!button_frame_is(frame, b, colour::GREEN)) return false;
    return true;
}

uint64_t glyph_mask(const Frame &frame, int x, int y, Rgb wanted) {
    uint64_t mask = 0;
    for (int dy = 0; dy < GLYPH_SIZE; dy++)
        for (int dx = 0; dx < GLYPH_SIZE; dx++)
            if (frame.is(x + dx, y + dy, wanted)) mask |= uint64_t(1) << (dy * GLYPH_SIZE + dx);
    return mask;
}

bool pointer_drawn_at(const Frame &frame, int x, int y) {
    // Fill pixels of the arrow's body, widest row and tail, and outline
    // pixels beside them. None lies on the tip's own row or column: the menu
    // draws the lit button's frame over the arrow, and with the tip on a
    // frame line that line hides the arrow's top row or left column.
    const int white[][2] = {{1, 1}, {2, 6}, {3, 5}, {7, 7}, {4, 9}, {5, 12}};
    const int black[][2] = {{2, 1}, {8, 7}, {5, 8}, {2, 9}};
    const Rgb WHITE{255, 255, 255};
    // Near the window's edges the arrow is cut: only its visible part counts.
    const auto visible = [&frame](int px, int py) {
        return px >= 0 && py >= 0 && px < frame.width() && py < frame.height();
    };
    for (const auto &w : white)
        if (visible(x + w[0], y + w[1]) && !frame.is(x + w[0], y + w[1], WHITE)) return false;
    for (const auto &b : black)
        if (visible(x + b[0], y + b[1]) && !is_black(frame.at(x + b[0], y + b[1]))) return false;
    return true;
}

bool move_pointer_seen(GameUnderX &game, int x, int y, milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool nudge = false;
    while (std::chrono::steady_clock::now() < deadline) {
        // A pixel aside first on a retry, so that the move is a real motion.
        if (nudge) game.move_pointer(x + 1, y, milliseconds(1000));
        nudge = true;
        if (!game.move_pointer(x, y, milliseconds(2000))) continue;
        const auto drawn = [x, y](const Frame &f) { return pointer_drawn_at(f, x, y); };
        if (game.wait_until(drawn, milliseconds(700)) && game.pointer_at(x, y)) return true;
    }
    return false;
}

namespace {
// One side of the double border: outline, black gap, outline, looking
// inwards from the outer line at `outer`.
bool double_line(const Frame &frame, int x, int y, int step_x, int step_y) {
    return frame.is(x, y, colour::YELLOW) && is_black(frame.at(x + step_x, y + step_y)) &&
           frame.is(x + 2 * step_x, y + 2 * step_y, colour::YELLOW);
}
}  // namespace

bool play_screen_shown(const Frame &frame) {
    int sides = 0;
    sides += double_line(frame, 48, 200, 1, 0) ? 1 : 0;    // left
    sides += double_line(frame, 602, 200, -1, 0) ? 1 : 0;  // right
    sides += double_line(frame, 300, 48, 0, 1) ? 1 : 0;    // top
    sides += double_line(frame, 300, 432, 0, -1) ? 1 : 0;  // bottom
    return sides >= 3;
}

int option_row_top(int row) { return 165 + 60 * row; }

int arrow_y(int row) { return option_row_top(row) + 7; }

bool options_shown(const Frame &frame) {
    for (int row = 0; row < OPTION_ROW_COUNT; row++) {
        const int top = option_row_top(row), bottom = top + 20;
        // Whole lines, not a few green dots of some picture.
        if (frame.count(252, top, 298, top, colour::GREEN) != 47) return false;
        if (frame.count(252, bottom, 298, bottom, colour::GREEN) != 47) return false;
        if (frame.count(250, top + 2, 250, bottom - 2, colour::GREEN) != 17) return false;
        if (frame.count(300, top + 2, 300, bottom - 2, colour::GREEN) != 17) return false;
        if (frame.is(275, top + 1, colour::GREEN)) return false;
    }
    return true;
}

bool preview_is(const Frame &frame, Rgb wanted) {
    const int area = (PREVIEW_RIGHT - PREVIEW_LEFT + 1) * (PREVIEW_BOTTOM - PREVIEW_TOP + 1);
    return frame.count(PREVIEW_LEFT, PREVIEW_TOP, PREVIEW_RIGHT, PREVIEW_BOTTOM, wanted) == area;
}

namespace {
// The rows of the labels and values of the mode and sound rows.
constexpr int MODE_TEXT_Y = 230;
constexpr int SOUND_TEXT_Y = 290;

uint64_t yellow_glyph(const Frame &frame, int x, int y) {
    return glyph_mask(frame, x, y, colour::YELLOW);
}
uint64_t blue_glyph(const Frame &frame, int x, int y) {
    return glyph_mask(frame, x, y, colour::BLUE);
}
}  // namespace

int mode_shown(const Frame &frame) {
    // " 1J, 2J , IA ?: " from x = 80: 1 at 88, J at 96, 2 at 120, I at 160, A at 168.
    const uint64_t one = yellow_glyph(frame, 88, MODE_TEXT_Y);
    const uint64_t jay = yellow_glyph(frame, 96, MODE_TEXT_Y);
    const uint64_t two = yellow_glyph(frame, 120, MODE_TEXT_Y);
    const uint64_t eye = yellow_glyph(frame, 160, MODE_TEXT_Y);
    const uint64_t ay = yellow_glyph(frame, 168, MODE_TEXT_Y);
    if (!one || !jay || !two || !eye || !ay) return 0;
    const auto at = [&frame](int x) { return blue_glyph(frame, x, MODE_TEXT_Y); };
    // " %d J" from x = 257.
    if (!at(257) && !at(273) && at(281) == jay) {
        if (at(265) == one) return 1;
        if (at(265) == two) return 2;
    }
    // "  I.A " from x = 250.
    if (!at(250) && !at(258) && at(266) == eye && at(274) && at(274) != eye && at(282) == ay &&
        !at(290))
        return 3;
    return 0;
}

int sound_shown(const Frame &frame) {
    // " BRUITAGES( O/N) : " from x = 80: U at 104, I at 112, O at 176, N at 192.
    const uint64_t u = yellow_glyph(frame, 104, SOUND_TEXT_Y);
    const uint64_t i = yellow_glyph(frame, 112, SOUND_TEXT_Y);
    const uint64_t o = yellow_glyph(frame, 176, SOUND_TEXT_Y);
    const uint64_t n = yellow_glyph(frame, 192, SOUND_TEXT_Y);
    if (!u || !i || !o || !n) return -1;
    const auto at = [&frame](int x) { return blue_glyph(frame, x, SOUND_TEXT_Y); };
    // " OUI " or " NON " from x = 255.
    if (at(255) || at(287)) return -1;
    if (at(263) == o && at(271) == u && at(279) == i) return 1;
    if (at(263) == n && at(271) == o && at(279) == n) return 0;
    return -1;
}

namespace {
// " Appuyez sur ESCAPE..." from (155, 420): its blank and its A lie left of
// the options background picture, on black.
constexpr int PULSE_LEFT = 155;
constexpr int PULSE_RIGHT = 169;
constexpr int PULSE_TOP = 420;
constexpr int PULSE_BOTTOM = 427;
}  // namespace

int pulse_brightness(const Frame &frame) {
    int brightest = 0;
    for (int y = PULSE_TOP; y <= PULSE_BOTTOM; y++)
        for (int x = PULSE_LEFT; x <= PULSE_RIGHT; x++) brightest = std::max(brightest, frame.at(x, y).g);
    return brightest;
}

bool pulse_is_yellow(const Frame &frame) {
    for (int y = PULSE_TOP; y <= PULSE_BOTTOM; y++) {
        for (int x = PULSE_LEFT; x <= PULSE_RIGHT; x++) {
            const Rgb p = frame.at(x, y);
            if (is_black(p)) continue;
            if (p.b != 0 || std::abs(p.r - p.g) > COLOUR_TOLERANCE) return false;
        }
    }
    return true;
}

bool game_over_shown(const Frame &frame) {
    const int points[][2] = {{150, 150}, {150, 250}, {500, 150}, {500, 250},
                             {200, 100}, {400, 100}, {200, 300}, {400, 300}};
    for (const auto &p : points)
        if (!frame.is(p[0], p[1], colour::DARK_RED)) return false;
    return true;
}

bool red_n_present(const Frame &frame) { return frame.count(168, 120, 175, 127, colour::RED) > 0; }

bool new_record_banner_shown(const Frame &frame) {
    return red_n_present(frame) && frame.count(178, 120, 185, 127, colour::GREEN) > 0 &&
           frame.count(188, 120, 195, 127, colour::BLUE) > 0 &&
           frame.count(208, 120, 215, 127, colour::YELLOW) > 0;
}

bool record_not_beaten_line_shown(const Frame &frame) {
    // 37 characters of 8 pixels from x = 160: the first letter (V) and a
    // good part of the row are green.
    return frame.count(160, 120, 167, 127, colour::GREEN) > 0 &&
           frame.count(160, 120, 460, 127, colour::GREEN) > 200;
}

int score_line_pixels(const Frame &frame, int row, Rgb wanted) {
    return frame.count(160, row, PLAYER_SCORE_DIGIT_LEFT - 1, row + GLYPH_SIZE - 1, wanted);
}

}  // namespace e2e
