#include "steering.h"

#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <set>
#include <thread>

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

// The lattice coordinate (multiple of 10 within lo..hi) from which a head
// reaches an apple corner at `corner`: within reach even if the corner read
// from the picture is a pixel or two off; away from the walls when there is
// a choice; never one of `refused`.
std::optional<int> lattice_target(int corner, int lo, int hi, const std::set<int> &refused) {
    std::optional<int> best;
    int best_score = 0;
    for (int margin : {6, EAT_REACH, EAT_REACH + 2}) {
        for (int v = lo; v <= hi; v += 10) {
            if (std::abs(v - corner) > margin || refused.count(v)) continue;
            const bool at_wall = v == lo || v == hi;
            const int score = std::abs(v - corner) + (at_wall ? 100 : 0);
            if (!best || score < best_score) {
                best = v;
                best_score = score;
            }
        }
        if (best) return best;
    }
    return best;
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
    std::optional<Point> target;         // the lattice point to pass through
    std::set<int> refused_x, refused_y;  // targets reached without eating
    Heading held = Heading::NONE;        // the arrow key held down, if any

    auto hold = [&](Heading want) {
        if (want == held) return;
        if (held != Heading::NONE) game.release_key(arrow_key(held));
        held = want;
        if (held != Heading::NONE) game.press_key(arrow_key(held));
    };
    auto finish = [&](bool ate, const std::string &why) {
        hold(Heading::NONE);
        chase.ate = ate;
        if (last_head) chase.head = *last_head;
        note(trace, why);
        chase.trace = joined(trace);
        return chase;
    };
    auto choose_target = [&]() -> bool {
        const Point corner = apple_corner(*apple);
        const std::optional<int> tx = lattice_target(corner.x, SAFE_LEFT, SAFE_RIGHT, refused_x);
        const std::optional<int> ty = lattice_target(corner.y, SAFE_TOP, SAFE_BOTTOM, refused_y);
        if (!tx || !ty) return false;
        target = Point{*tx, *ty};
        note(trace, "apple corner near " + where(corner) + ", aiming at " + where(*target));
        return true;
    };

    while (clock::now() < deadline) {
        const Frame frame = game.capture();
        if (frame.empty()) {
            if (!game.game_running()) return finish(false, "the game is no longer running");
            std::this_thread::sleep_for(POLL);
            continue;
        }
        if (game_over_shown(frame)) return finish(false, "the end-of-game screen came up");
        const std::vector<Point> squares = find_squares(frame, snake_colour);
        if (squares.empty()) {
            std::this_thread::sleep_for(POLL);
            continue;
        }
        if (!start_length) {
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
            // Grown: the head is the square that is not where the head was.
            for (const Point &s : squares)
                if (last_head && step_from(*last_head, chase.heading) == s) last_head = s;
            return finish(true,
                          "the snake has grown to " + std::to_string(squares.size()) + " squares");
        }
        const Point head = squares.size() == 1 ? squares.front()
                                               : head_after(previous, squares, last_head);
        previous = squares;

        const std::optional<Patch> seen = find_apple(frame, squares, other_snake);
        if (!seen) {
            std::this_thread::sleep_for(POLL);
            continue;
        }
        if (!apple) {
            apple = seen;
            if (!choose_target()) return finish(false, "no lattice point reaches the apple");
        } else if (std::abs(seen->left - apple->left) > 10 ||
                   std::abs(seen->top - apple->top) > 10) {
            last_head = head;
            return finish(
                true, "the apple has moved to " + where(Point{seen->left, seen->top}) + ": eaten");
        }

        const bool moved = !last_head || head != *last_head;
        if (!moved && held != Heading::NONE) {
            std::this_thread::sleep_for(POLL);
            continue;  // a turn is pressed and the next tick will take it
        }
        if (!moved && chase.heading != Heading::NONE) {
            std::this_thread::sleep_for(POLL);
            continue;  // nothing new since the last tick
        }
        if (last_head && moved) chase.heading = heading_between(*last_head, head);
        if (moved) note(trace, "head " + where(head) + " going " + name_of(chase.heading));
        last_head = head;

        if (head == *target) {
            // On the target and the apple still there: the corner was misread.
            refused_x.insert(target->x);
            refused_y.insert(target->y);
            note(trace, "reached " + where(*target) + " without eating it");
            if (!choose_target()) return finish(false, "no lattice point left to try");
        }

        // The directions that bring the head nearer to the target. Next to a
        // wall a missed turn would be deadly, so a target on the wall's line
        // is approached along that line, head on, after the other axis.
        const int dx = target->x - head.x, dy = target->y - head.y;
        const bool x_at_wall = target->x == SAFE_LEFT || target->x == SAFE_RIGHT;
        const bool y_at_wall = target->y == SAFE_TOP || target->y == SAFE_BOTTOM;
        std::vector<Heading> good;
        const Heading along_x = dx > 0 ? Heading::RIGHT : Heading::LEFT;
        const Heading along_y = dy > 0 ? Heading::DOWN : Heading::UP;
        if (x_at_wall && !y_at_wall && dy != 0) {
            good.push_back(along_y);
        } else if (y_at_wall && !x_at_wall && dx != 0) {
            good.push_back(along_x);
        } else {
            if (dx != 0) good.push_back(along_x);
            if (dy != 0) good.push_back(along_y);
        }

        Heading want = Heading::NONE;
        const Heading now = chase.heading;
        if (std::find(good.begin(), good.end(), now) != good.end()) {
            want = now;
        } else {
            for (Heading h : good)
                if (h != opposite(now) && want == Heading::NONE) want = h;
            if (want == Heading::NONE) {
                // The target lies straight behind: step aside, to the roomier side.
                if (is_vertical(now))
                    want = head.x < (SAFE_LEFT + SAFE_RIGHT) / 2 ? Heading::RIGHT : Heading::LEFT;
                else
                    want = head.y < (SAFE_TOP + SAFE_BOTTOM) / 2 ? Heading::DOWN : Heading::UP;
            }
        }
        if (!safe_head_position(step_from(head, want))) {
            for (Heading h : {Heading::UP, Heading::LEFT, Heading::DOWN, Heading::RIGHT}) {
                if (h != opposite(now) && safe_head_position(step_from(head, h))) {
                    want = h;
                    break;
                }
            }
            note(trace, std::string("wall ahead: turning ") + name_of(want));
        }
        // Going on needs no key; a turn is held until the head shows it.
        const Heading key = want == now ? Heading::NONE : want;
        if (key != held && key != Heading::NONE)
            note(trace, std::string("pressing ") + name_of(key));
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
    // on a busy machine may be a few ticks after the picture it was chosen
    // from: every such way must miss the apple.
    const int MOST_LATE = 4;
    Heading best = Heading::NONE;
    int best_steps = 0;
    for (Heading h : {Heading::UP, Heading::LEFT, Heading::DOWN, Heading::RIGHT}) {
        if (heading != Heading::NONE && h == opposite(heading)) continue;  // ignored by the game
        const int latest = (heading == Heading::NONE || h == heading) ? 0 : MOST_LATE;
        int worst = 0;
        bool clear = true;
        for (int late = 0; late <= latest && clear; late++) {
            const int steps = steps_to_wall(late, h);
            if (steps < 0) clear = false;
            worst = std::max(worst, steps);
        }
        story += std::string(name_of(h)) +
                 (clear ? ": " + std::to_string(worst) + " steps; " : ": passes the apple; ");
        if (clear && (best == Heading::NONE || worst < best_steps)) {
            best = h;
            best_steps = worst;
        }
    }
    if (best == Heading::NONE) best = heading != Heading::NONE ? heading : Heading::UP;
    story += std::string("going ") + name_of(best);
    if (trace) *trace = story;

    if (best == heading) return game.wait_until(game_over_shown, timeout);
    // Held until the end: the game reads the keys once per tick.
    return game.key_until(arrow_key(best), game_over_shown, timeout);
}

}  // namespace e2e
