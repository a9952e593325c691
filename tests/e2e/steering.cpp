#include "steering.h"

#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <set>
#include <thread>

#include "one_player.h"
#include "screen_reading.h"

namespace e2e {

namespace {
using clock = std::chrono::steady_clock;

// The inside of the inner outline (50..600 x 50..430): where apples and
// snake squares are drawn.
constexpr int INSIDE_LEFT = 51;
constexpr int INSIDE_RIGHT = 599;
constexpr int INSIDE_TOP = 51;
constexpr int INSIDE_BOTTOM = 429;
// A head eats when it is within 8 pixels of the apple's corner in both axes.
constexpr int EAT_REACH = 8;
// Smallest patch taken for an apple (the pictures are about 13x13).
constexpr int APPLE_MIN_PIXELS = 20;
// A tick lasts 50 ms at level 0: the window is read several times per tick,
// so that a turn is pressed well before the tick after the one seen.
const milliseconds POLL(4);

bool is_vertical(Heading h) { return h == Heading::UP || h == Heading::DOWN; }

bool solid_square(const Frame &frame, int x, int y, Rgb c) {
    for (int dy = 0; dy < SQUARE_SIZE; dy++)
        for (int dx = 0; dx < SQUARE_SIZE; dx++)
            if (!frame.is(x + dx, y + dy, c)) return false;
    return true;
}

bool inside_any_square(const std::vector<Point> &squares, int x, int y) {
    for (const Point &s : squares)
        if (x >= s.x && x < s.x + SQUARE_SIZE && y >= s.y && y < s.y + SQUARE_SIZE) return true;
    return false;
}

Heading heading_between(Point from, Point to) {
    const int dx = to.x - from.x, dy = to.y - from.y;
    if (std::abs(dx) >= std::abs(dy)) {
        if (dx > 0) return Heading::RIGHT;
        if (dx < 0) return Heading::LEFT;
        return Heading::NONE;
    }
    return dy > 0 ? Heading::DOWN : Heading::UP;
}

// The lattice lines (multiples of 10 within lo..hi) from which a head
// reaches an apple corner at `corner`, leaving out `refused`: within 7
// pixels, so that a corner read a pixel off still counts; wider only when
// no line is left. Half the corners have two such lines side by side.
std::vector<int> eating_lines(int corner, int lo, int hi, const std::set<int> &refused) {
    for (int margin : {EAT_REACH - 1, EAT_REACH, EAT_REACH + 2}) {
        std::vector<int> lines;
        for (int v = lo; v <= hi; v += 10)
            if (std::abs(v - corner) <= margin && !refused.count(v)) lines.push_back(v);
        if (!lines.empty()) return lines;
    }
    return {};
}

// Steps a head at p can take heading h without leaving the field.
int room(Point p, Heading h) {
    switch (h) {
        case Heading::UP:
            return (p.y - SAFE_TOP) / 10;
        case Heading::DOWN:
            return (SAFE_BOTTOM - p.y) / 10;
        case Heading::LEFT:
            return (p.x - SAFE_LEFT) / 10;
        case Heading::RIGHT:
            return (SAFE_RIGHT - p.x) / 10;
        default:
            return 0;
    }
}

// Steps from p along h to the first of `lines` (on h's axis) ahead, or -1.
int steps_to_line(Point p, Heading h, const std::vector<int> &lines) {
    const int at = is_vertical(h) ? p.y : p.x;
    const int sign = (h == Heading::DOWN || h == Heading::RIGHT) ? 1 : -1;
    int best = -1;
    for (int v : lines) {
        const int steps = (v - at) * sign / 10;
        if (steps >= 0 && (best < 0 || steps < best)) best = steps;
    }
    return best;
}

bool contains(const std::vector<int> &lines, int v) {
    return std::find(lines.begin(), lines.end(), v) != lines.end();
}

// Whether the apple still shows where it was seen: half its pixels or more
// are lit, leaving out those under the snake's squares.
bool apple_still_there(const Frame &frame, const Patch &apple, const std::vector<Point> &squares) {
    int lit = 0;
    for (int y = apple.top; y <= apple.bottom; y++)
        for (int x = apple.left; x <= apple.right; x++)
            if (!is_black(frame.at(x, y)) && !inside_any_square(squares, x, y)) lit++;
    return lit * 2 >= apple.pixels;
}

// The characters of a number written from (x, y) in `colour`, up to the
// first blank cell.
std::vector<uint64_t> digits_at(const Frame &frame, int x, int y, Rgb colour) {
    std::vector<uint64_t> digits;
    for (uint64_t glyph; digits.size() < 8 && (glyph = glyph_mask(frame, x, y, colour)) != 0;
         x += GLYPH_SIZE)
        digits.push_back(glyph);
    return digits;
}

bool next_to(Point a, Point b) {
    const int dx = std::abs(a.x - b.x), dy = std::abs(a.y - b.y);
    return (dx == 10 && dy == 0) || (dx == 0 && dy == 10);
}

// The head of a snake of several squares: from the head last known, along
// the squares that have appeared since the picture before, to the last of
// them. When the pictures missed more steps than the snake is long, that
// way is broken: the head is then the new end of the snake farthest from
// where the head was.
Point head_after(const std::vector<Point> &before, const std::vector<Point> &now,
                 std::optional<Point> last_head) {
    std::vector<Point> added;
    for (const Point &p : now)
        if (std::find(before.begin(), before.end(), p) == before.end()) added.push_back(p);
    if (added.empty()) return last_head ? *last_head : now.front();
    if (last_head) {
        Point head = *last_head;
        std::vector<Point> left = added;
        for (bool found = true; found && !left.empty();) {
            found = false;
            for (auto it = left.begin(); it != left.end(); ++it) {
                if (next_to(*it, head)) {
                    head = *it;
                    left.erase(it);
                    found = true;
                    break;
                }
            }
        }
        if (head != *last_head) return head;
    }
    std::vector<Point> ends;
    for (const Point &p : added) {
        int neighbours = 0;
        for (const Point &q : now) neighbours += next_to(p, q) ? 1 : 0;
        if (neighbours <= 1) ends.push_back(p);
    }
    const std::vector<Point> &candidates = ends.empty() ? added : ends;
    const Point from = last_head ? *last_head : now.front();
    Point head = candidates.front();
    for (const Point &p : candidates) {
        const int d = std::abs(p.x - from.x) + std::abs(p.y - from.y);
        if (d > std::abs(head.x - from.x) + std::abs(head.y - from.y)) head = p;
    }
    return head;
}

void note(std::deque<std::string> &trace, const std::string &line) {
    trace.push_back(line);
    if (trace.size() > 60) trace.pop_front();
}

std::string joined(const std::deque<std::string> &trace) {
    std::string out;
    for (const std::string &line : trace) out += "  " + line + "\n";
    return out;
}

std::string where(Point p) { return "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")"; }

}  // namespace

Heading opposite(Heading h) {
    switch (h) {
        case Heading::UP:
            return Heading::DOWN;
        case Heading::DOWN:
            return Heading::UP;
        case Heading::LEFT:
            return Heading::RIGHT;
        case Heading::RIGHT:
            return Heading::LEFT;
        default:
            return Heading::NONE;
    }
}

const char *name_of(Heading h) {
    switch (h) {
        case Heading::UP:
            return "up";
        case Heading::DOWN:
            return "down";
        case Heading::LEFT:
            return "left";
        case Heading::RIGHT:
            return "right";
        default:
            return "none";
    }
}

unsigned long arrow_key(Heading h) {
    switch (h) {
        case Heading::UP:
            return XK_Up;
        case Heading::DOWN:
            return XK_Down;
        case Heading::LEFT:
            return XK_Left;
        case Heading::RIGHT:
            return XK_Right;
        default:
            return 0;
    }
}

bool safe_head_position(Point p) {
    return p.x >= SAFE_LEFT && p.x <= SAFE_RIGHT && p.y >= SAFE_TOP && p.y <= SAFE_BOTTOM;
}

Point step_from(Point p, Heading h, int step) {
    switch (h) {
        case Heading::UP:
            return {p.x, p.y - step};
        case Heading::DOWN:
            return {p.x, p.y + step};
        case Heading::LEFT:
            return {p.x - step, p.y};
        case Heading::RIGHT:
            return {p.x + step, p.y};
        default:
            return p;
    }
}

std::vector<Point> find_squares(const Frame &frame, Rgb snake_colour, int step) {
    std::vector<Point> squares;
    for (int y = SAFE_TOP; y <= INSIDE_BOTTOM - SQUARE_SIZE + 2; y += step)
        for (int x = SAFE_LEFT; x <= INSIDE_RIGHT - SQUARE_SIZE + 2; x += step)
            if (solid_square(frame, x, y, snake_colour)) squares.push_back({x, y});
    return squares;
}

std::optional<Patch> find_apple(const Frame &frame, const std::vector<Point> &squares,
                                std::optional<Rgb> not_apple) {
    const int w = INSIDE_RIGHT - INSIDE_LEFT + 1, h = INSIDE_BOTTOM - INSIDE_TOP + 1;
    std::vector<char> candidate(static_cast<size_t>(w * h), 0);
    for (int y = INSIDE_TOP; y <= INSIDE_BOTTOM; y++) {
        for (int x = INSIDE_LEFT; x <= INSIDE_RIGHT; x++) {
            if (is_black(frame.at(x, y)) || inside_any_square(squares, x, y)) continue;
            if (not_apple && frame.is(x, y, *not_apple)) continue;
            candidate[static_cast<size_t>((y - INSIDE_TOP) * w + (x - INSIDE_LEFT))] = 1;
        }
    }
    // Largest 8-connected patch.
    std::optional<Patch> best;
    std::vector<int> stack;
    for (int start = 0; start < w * h; start++) {
        if (!candidate[static_cast<size_t>(start)]) continue;
        Patch patch{w, h, -1, -1, 0};
        candidate[static_cast<size_t>(start)] = 0;
        stack.push_back(start);
        while (!stack.empty()) {
            const int i = stack.back();
            stack.pop_back();
            const int px = i % w, py = i / w;
            patch.left = std::min(patch.left, px);
            patch.right = std::max(patch.right, px);
            patch.top = std::min(patch.top, py);
            patch.bottom = std::max(patch.bottom, py);
            patch.pixels++;
            for (int dy = -1; dy <= 1; dy++) {
                for (int dx = -1; dx <= 1; dx++) {
                    const int nx = px + dx, ny = py + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    const size_t n = static_cast<size_t>(ny * w + nx);
                    if (!candidate[n]) continue;
                    candidate[n] = 0;
                    stack.push_back(static_cast<int>(n));
                }
            }
        }
        if (patch.pixels >= APPLE_MIN_PIXELS && (!best || patch.pixels > best->pixels))
            best = patch;
    }
    if (!best) return std::nullopt;
    best->left += INSIDE_LEFT;
    best->right += INSIDE_LEFT;
    best->top += INSIDE_TOP;
    best->bottom += INSIDE_TOP;
    return best;
}

Point apple_corner(const Patch &apple) { return {apple.left - 1, apple.top}; }

Chase steer_to_apple(GameUnderX &game, Rgb snake_colour, milliseconds timeout,
                     std::optional<Rgb> other_snake) {
    Chase chase;
    std::deque<std::string> trace;
    const auto deadline = clock::now() + timeout;

    std::optional<Point> last_head;
    std::optional<size_t> start_length;  // the snake's squares when the chase began
    std::vector<Point> previous;         // its squares in the last picture read
    std::optional<Patch> apple;          // as first seen: the one being chased
    std::vector<int> lines_x, lines_y;   // the lattice lines that reach it
    std::set<int> refused_x, refused_y;  // lines crossed there without eating
    Heading held = Heading::NONE;        // the arrow key held down, if any
    std::vector<uint64_t> score_at_start;  // the status row's digits

    // How far behind the game the steering is, in steps: the most steps
    // seen between two pictures, and the most a turn came after the picture
    // it was chosen from (4 at first, a fifth of a second at the first
    // level's pace; the first steps from standing count as a turn). A busy
    // machine makes both grow, and the snake keeps that much room before
    // the walls.
    int jump = 1, late = 4;
    int soonest = 0, turns_seen = 0;  // the fewest steps a turn has come late
    std::optional<Point> pressed_at;  // where the head was when the turn was pressed
    Heading pressed_from = Heading::NONE;
    auto margin = [&] { return std::min(jump + late, 10); };

    auto hold = [&](Heading want) {
        if (want == held) return;
        if (held != Heading::NONE) game.release_key(arrow_key(held));
        held = want;
        pressed_at.reset();
        if (held == Heading::NONE) return;
        game.press_key(arrow_key(held));
        if (last_head && chase.heading != Heading::NONE) {
            pressed_at = *last_head;
            pressed_from = chase.heading;
        }
    };
    auto finish = [&](bool ate, const std::string &why) {
        hold(Heading::NONE);
        chase.ate = ate;
        if (last_head) chase.head = *last_head;
        note(trace, why);
        chase.trace = joined(trace);
        return chase;
    };
    auto choose_lines = [&]() -> bool {
        const Point corner = apple_corner(*apple);
        lines_x = eating_lines(corner.x, SAFE_LEFT, SAFE_RIGHT, refused_x);
        lines_y = eating_lines(corner.y, SAFE_TOP, SAFE_BOTTOM, refused_y);
        if (lines_x.empty() || lines_y.empty()) return false;
        std::string text;
        for (int x : lines_x) text += " x=" + std::to_string(x);
        for (int y : lines_y) text += " y=" + std::to_string(y);
        note(trace, "apple corner near " + where(corner) + ", eaten from" + text);
        return true;
    };
    // True when going straight on from p along h meets the apple.
    auto apple_ahead = [&](Point p, Heading h) {
        if (h == Heading::NONE) return false;
        const bool across_on_line =
            is_vertical(h) ? contains(lines_x, p.x) : contains(lines_y, p.y);
        return across_on_line && steps_to_line(p, h, is_vertical(h) ? lines_y : lines_x) >= 0;
    };

    while (clock::now() < deadline) {
        const Frame frame = game.capture();
        if (frame.empty()) {
            if (!game.game_running()) return finish(false, "the game is no longer running");
            std::this_thread::sleep_for(POLL);
            continue;
        }
        if (game_over_shown(frame)) {
            // A snake that eats by a wall may hit it before a picture shows
            // it grown: the end-of-game screen's score then tells.
            const std::vector<uint64_t> score =
                digits_at(frame, FINAL_SCORE_DIGIT_LEFT, FINAL_SCORE_ROW, colour::YELLOW);
            if (!score.empty() && !score_at_start.empty() && score != score_at_start)
                return finish(true, "the end-of-game screen came up with a new score");
            return finish(false, "the end-of-game screen came up");
        }
        const std::vector<Point> squares = find_squares(frame, snake_colour);
        if (squares.empty()) {
            std::this_thread::sleep_for(POLL);
            continue;
        }
        if (!start_length) {
            score_at_start = digits_at(frame, SCORE_DIGIT_LEFT, STATUS_TOP, snake_colour);
            start_length = squares.size();
            if (squares.size() > 1) {
                // A longer snake is moving: its head and heading are read
                // from one of its steps, and followed from there on.
                const auto left = std::chrono::duration_cast<milliseconds>(deadline - clock::now());
                const std::optional<Motion> motion = watch_one_step(game, snake_colour, left);
                if (!motion) return finish(false, "no step of the snake seen");
                start_length = motion->squares.size();
                last_head = motion->head;
                chase.heading = motion->heading;
                previous = motion->squares;
                note(trace, "a snake of " + std::to_string(*start_length) + " squares, head " +
                                where(motion->head) + " going " + name_of(motion->heading));
                continue;
            }
        }
        if (squares.size() > *start_length) {
            // Grown, perhaps on its first steps, before a picture showed
            // it move: then it goes the way of the key held.
            if (chase.heading == Heading::NONE) chase.heading = held;
            // The head is the square that is not where the head was.
            for (const Point &s : squares)
                if (last_head && step_from(*last_head, chase.heading) == s) last_head = s;
            return finish(true,
                          "the snake has grown to " + std::to_string(squares.size()) + " squares");
        }
        const Point head = squares.size() == 1 ? squares.front()
                                               : head_after(previous, squares, last_head);
        previous = squares;

        // The apple is looked for in the whole field until it is found, and
        // then only where it was, unless it seems gone from there.
        if (!apple || !apple_still_there(frame, *apple, squares)) {
            const std::optional<Patch> seen = find_apple(frame, squares, other_snake);
            if (!seen) {
                std::this_thread::sleep_for(POLL);
                continue;
            }
            if (!apple) {
                apple = seen;
                if (!choose_lines()) return finish(false, "no lattice line reaches the apple");
            } else if (std::abs(seen->left - apple->left) > 10 ||
                       std::abs(seen->top - apple->top) > 10) {
                last_head = head;
                return finish(true, "the apple has moved to " +
                                        where(Point{seen->left, seen->top}) + ": eaten");
            }
        }

        const bool moved = !last_head || head != *last_head;
        if (!moved) {
            std::this_thread::sleep_for(POLL);
            continue;  // nothing new since the last tick, or a turn still to be taken
        }
        const bool now_was_standing = chase.heading == Heading::NONE;
        if (last_head) {
            // A step towards the key held shows the turn taken: the snake
            // cannot have moved that way otherwise.
            const int dx = head.x - last_head->x, dy = head.y - last_head->y;
            const Point towards_held = step_from(Point{0, 0}, held);
            if (held != Heading::NONE && dx * towards_held.x + dy * towards_held.y > 0)
                chase.heading = held;
            else
                chase.heading = heading_between(*last_head, head);
            jump = std::max(jump, (std::abs(dx) + std::abs(dy)) / 10);
            // The first steps from standing came as late as a turn would.
            if (now_was_standing) late = std::max(late, (std::abs(dx) + std::abs(dy)) / 10);
        }
        if (pressed_at && chase.heading != pressed_from) {
            const Point gone = step_from(Point{0, 0}, pressed_from);
            const int steps =
                ((head.x - pressed_at->x) * gone.x + (head.y - pressed_at->y) * gone.y) / 100;
            late = std::max(late, steps);
            soonest = turns_seen++ ? std::min(soonest, steps) : steps;
            pressed_at.reset();
        }
        note(trace, "head " + where(head) + " going " + name_of(chase.heading));
        last_head = head;

        if (contains(lines_x, head.x) && contains(lines_y, head.y)) {
            // On the apple and the apple still there: its corner was misread.
            refused_x.insert(head.x);
            refused_y.insert(head.y);
            note(trace, "crossed " + where(head) + " without eating");
            if (!choose_lines()) return finish(false, "no lattice line left to try");
        }

        const Heading now = chase.heading;
        const int need = margin();
        const Heading all[] = {Heading::UP, Heading::LEFT, Heading::DOWN, Heading::RIGHT};
        Heading want = Heading::NONE;
        // The apple straight ahead, or straight ahead after a turn here or
        // within the steps that every turn so far has come late.
        if (apple_ahead(head, now)) want = now;
        for (int early = 0; early <= soonest && want == Heading::NONE; early++) {
            const Point turn_at = step_from(head, now, 10 * early);
            for (Heading h : all)
                if (want == Heading::NONE && h != now && h != opposite(now) &&
                    safe_head_position(turn_at) && apple_ahead(turn_at, h))
                    want = h;
        }
        if (want == Heading::NONE) {
            // Towards a line of the apple, with room kept beyond it for a
            // late turn there: first along an axis with two lines, whose
            // second still serves a turn one step late, then going on.
            // With the apple near two walls, every way has a turn near a
            // wall: then the one with most room.
            auto near_walls = [need](const std::vector<int> &lines, int lo, int hi) {
                for (int v : lines)
                    if ((v - lo) / 10 >= need && (hi - v) / 10 >= need) return false;
                return true;
            };
            const bool cornered = near_walls(lines_x, SAFE_LEFT, SAFE_RIGHT) &&
                                  near_walls(lines_y, SAFE_TOP, SAFE_BOTTOM);
            int best = -1;
            for (Heading h : all) {
                if (h == opposite(now)) continue;
                const std::vector<int> &lines = is_vertical(h) ? lines_y : lines_x;
                const int to_line = steps_to_line(head, h, lines);
                const int spare = room(head, h) - std::max(to_line, 0);
                if (to_line <= 0 || (spare < need && !cornered)) continue;
                const int rank =
                    (cornered ? 0 : (lines.size() > 1 ? 2000 : 0) + (h == now ? 1000 : 0)) +
                    std::min(spare, 99);
                if (rank > best) {
                    want = h;
                    best = rank;
                }
            }
        }
        if (want == Heading::NONE) {
            // The apple behind, or no way to it from here that keeps the
            // room: aside, where there is most room, to come round again.
            for (Heading h : all) {
                if (h == now || h == opposite(now) || room(head, h) < need) continue;
                if (want == Heading::NONE || room(head, h) > room(head, want)) want = h;
            }
            if (want == Heading::NONE && now != Heading::NONE && room(head, now) >= need)
                want = now;
        }
        if (want == Heading::NONE) {
            for (Heading h : all)
                if (h != opposite(now) &&
                    (want == Heading::NONE || room(head, h) > room(head, want)))
                    want = h;
        }
        // A turn already pressed comes sooner than another one pressed now.
        if (held != Heading::NONE && want != now && held != opposite(now) && room(head, held) > 0)
            want = held;
        // Going on needs no key; a turn is held until the head shows it.
        const Heading key = want == now ? Heading::NONE : want;
        if (key != held && key != Heading::NONE)
            note(trace, std::string("pressing ") + name_of(key) +
                            " (room kept: " + std::to_string(need) + " steps)");
        hold(key);
    }
    return finish(false, "out of time");
}

std::optional<Motion> watch_one_step(GameUnderX &game, Rgb snake_colour, milliseconds timeout) {
    const auto deadline = clock::now() + timeout;
    std::vector<Point> before;
    bool have_before = false;
    while (clock::now() < deadline) {
        Frame frame = game.capture();
        if (frame.empty() || game_over_shown(frame)) return std::nullopt;
        std::vector<Point> now = find_squares(frame, snake_colour);
        if (!have_before) {
            before = now;
            have_before = !now.empty();
            continue;
        }
        std::vector<Point> added;
        for (const Point &p : now)
            if (std::find(before.begin(), before.end(), p) == before.end()) added.push_back(p);
        if (added.empty()) {
            std::this_thread::sleep_for(POLL);
            continue;
        }
        // One step: one new square, the head, next to the old head, which
        // is either still drawn (a longer snake) or was the only square.
        if (added.size() == 1) {
            const Point head = added.front();
            std::optional<Point> previous;
            const std::vector<Point> &around = before.size() == 1 ? before : now;
            for (const Point &p : around) {
                const int dx = std::abs(p.x - head.x), dy = std::abs(p.y - head.y);
                if ((dx == 10 && dy == 0) || (dx == 0 && dy == 10)) previous = p;
            }
            if (previous)
                return Motion{head, heading_between(*previous, head), now, std::move(frame)};
        }
        before = now;  // several steps between two pictures: watch the next one
    }
    return std::nullopt;
}

bool drive_into_wall(GameUnderX &game, Rgb snake_colour, bool moving, milliseconds timeout,
                     std::string *trace) {
    std::string story;
    Point head{0, 0};
    Heading heading = Heading::NONE;
    Frame frame;
    std::vector<Point> squares;
    if (moving) {
        // The heading is read from the snake itself: a turn pressed just
        // before may or may not have been taken.
        std::optional<Motion> motion = watch_one_step(game, snake_colour, timeout);
        if (!motion) {
            if (trace) *trace = "no step of the snake seen";
            return game.wait_until(game_over_shown, milliseconds(0));
        }
        head = motion->head;
        heading = motion->heading;
        squares = motion->squares;
        frame = std::move(motion->frame);
    } else {
        frame = game.capture();
        if (frame.empty()) return false;
        squares = find_squares(frame, snake_colour);
        if (squares.size() != 1) {
            if (trace) *trace = "not one single square standing still";
            return false;
        }
        head = squares.front();
    }
    const std::optional<Patch> apple = find_apple(frame, squares);
    story += "head " + where(head) + " going " + name_of(heading) + "; ";

    // Whether the head, at p, could eat the apple (with a margin for a
    // corner misread by a pixel or two).
    auto near_apple = [&apple](Point p) {
        if (!apple) return false;
        const Point c = apple_corner(*apple);
        return std::abs(p.x - c.x) <= EAT_REACH + 4 && std::abs(p.y - c.y) <= EAT_REACH + 4;
    };
    // Steps to the wall when the snake goes on `late` steps and then turns
    // to `h`, or -1 when that way passes the apple.
    auto steps_to_wall = [&](int late, Heading h) {
        Point p = head;
        for (int k = 0; k < late; k++) {
            p = step_from(p, heading);
            if (!safe_head_position(p)) return k;
            if (near_apple(p)) return -1;
        }
        int steps = late;
        for (p = step_from(p, h); safe_head_position(p); p = step_from(p, h)) {
            if (near_apple(p)) return -1;
            steps++;
        }
        return steps;
    };

    // A turn takes effect at the first tick after the key is seen, which
    // on a busy machine may be several ticks after the picture it was
    // chosen from: every such way must miss the apple. Going straight on
    // needs no turn, and is taken whenever it misses the apple.
    const int MOST_LATE = 12;
    Heading best = Heading::NONE;
    int best_steps = 0;
    // When every way may pass the apple, the turn that stays clear the
    // longest: it passes only when the key comes later still.
    Heading least_risk = heading != Heading::NONE ? heading : Heading::UP;
    int least_risk_lates = -1;
    for (Heading h : {Heading::UP, Heading::LEFT, Heading::DOWN, Heading::RIGHT}) {
        if (heading != Heading::NONE && h == opposite(heading)) continue;  // ignored by the game
        const int latest = (heading == Heading::NONE || h == heading) ? 0 : MOST_LATE;
        int worst = 0;
        int late = 0;
        for (; late <= latest; late++) {
            const int steps = steps_to_wall(late, h);
            if (steps < 0) break;
            worst = std::max(worst, steps);
        }
        const bool clear = late > latest;
        story += std::string(name_of(h)) +
                 (clear ? ": " + std::to_string(worst) + " steps; " : ": passes the apple; ");
        if (clear && (best == Heading::NONE || h == heading ||
                      (best != heading && worst < best_steps))) {
            best = h;
            best_steps = worst;
        }
        if (!clear && h != heading && late > least_risk_lates) {
            least_risk = h;
            least_risk_lates = late;
        }
    }
    if (best == Heading::NONE) best = least_risk;
    story += std::string("going ") + name_of(best);
    if (trace) *trace = story;

    if (best == heading) return game.wait_until(game_over_shown, timeout);
    // Held until the end: the game reads the keys once per tick.
    return game.key_until(arrow_key(best), game_over_shown, timeout);
}

}  // namespace e2e
