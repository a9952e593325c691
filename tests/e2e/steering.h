// Reading the field of the play screen (snake squares, the apple) and
// steering a snake with real arrow key presses, looking at the window
// between steps as a player would.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

struct Point {
    int x;
    int y;
};
inline bool operator==(Point a, Point b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(Point a, Point b) { return !(a == b); }

enum class Heading { NONE, UP, LEFT, DOWN, RIGHT };
Heading opposite(Heading h);
const char *name_of(Heading h);
// The arrow key that steers player 1 that way.
unsigned long arrow_key(Heading h);

// A snake square is 11x11 pixels from its top-left corner; heads move on a
// lattice of `step` pixels (10, or 5 in two-player mode) from x = 320 and
// y = 100 or 240. A head is safe at 50..590 x 50..420 on the 10-pixel lattice.
constexpr int SQUARE_SIZE = 11;
constexpr int SAFE_LEFT = 50;
constexpr int SAFE_RIGHT = 590;
constexpr int SAFE_TOP = 50;
constexpr int SAFE_BOTTOM = 420;
bool safe_head_position(Point p);
Point step_from(Point p, Heading h, int step = 10);

// Every solid 11x11 square of `snake_colour` whose corner lies on the lattice.
std::vector<Point> find_squares(const Frame &frame, Rgb snake_colour, int step = 10);

// The apple: the largest patch of non-black pixels inside the field that
// is not part of a snake square.
struct Patch {
    int left;
    int top;
    int right;
    int bottom;
    int pixels;
};
// Pixels of `not_apple` (another snake's colour), when given, are left out.
std::optional<Patch> find_apple(const Frame &frame, const std::vector<Point> &squares,
                                std::optional<Rgb> not_apple = std::nullopt);
// Where the apple's picture has its top-left corner, the point that eating
// is measured from: the pictures leave their first column transparent.
Point apple_corner(const Patch &apple);

// Where a chase for the apple ended.
struct Chase {
    bool ate = false;
    Point head{0, 0};  // the head when the chase ended
    Heading heading = Heading::NONE;
    std::string trace;  // the decisions taken, for failure messages
};

// Steers player 1's snake to the apple with the arrow keys, reading head
// and apple from the window before every step. Ends when the snake has
// grown or the apple has moved away (eaten), when the game ends, or when
// the time is up. A snake of one square may stand still; a longer one must
// be moving, as it always is during a game: its head is found from a step
// it makes. The steering keeps clear of the walls, not of the snake's own
// body, which a snake of a few squares does not meet on its way. With two
// snakes in play, `other_snake` is the other one's colour: its pixels are
// not taken for the apple, but the other snake is not avoided.
Chase steer_to_apple(GameUnderX &game, Rgb snake_colour, milliseconds timeout,
                     std::optional<Rgb> other_snake = std::nullopt);

// One step of a moving snake, watched in the window: its head, heading,
// squares and the picture they were read from.
struct Motion {
    Point head;
    Heading heading;
    std::vector<Point> squares;
    Frame frame;
};
std::optional<Motion> watch_one_step(GameUnderX &game, Rgb snake_colour, milliseconds timeout);

// Drives player 1's snake straight into the nearest wall whose way does not
// pass the apple: keeps the heading or turns (never a reversal, which the
// game ignores), then waits for the end-of-game screen. `moving` tells
// whether the snake already moves (its heading is then read from the
// window) or stands still at the start of a game.
bool drive_into_wall(GameUnderX &game, Rgb snake_colour, bool moving, milliseconds timeout,
                     std::string *trace = nullptr);

}  // namespace e2e
