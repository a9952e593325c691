#include "screen_reading.h"

#include <chrono>

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

}  // namespace e2e
