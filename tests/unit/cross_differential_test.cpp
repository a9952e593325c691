// The two-snake test against the plain double loop it must agree with: for
// many random pairs of snakes, the game ends exactly when some drawn segment
// of player 1 (entries 0 to length-1) has the same x and y as some drawn
// segment of player 2. The pairs mix lattice positions near each other,
// pixels on both sides of the screen's edges, wrapped huge values, stale
// slots past the tails that would match if they were counted, matches
// planted on the first and the last segment, long snakes and identical ones.
#include "game_fixture.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include "app/main_loop.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "screens/options.h"

namespace {
using Rng = std::mt19937;

// The plain test: every drawn segment of one snake against every drawn
// segment of the other. `extra` entries past each length take part too, and
// `outside_counts` false skips pairs off the 640 x 480 screen: the last two
// are only used to make sure the random cases would catch such mistakes.
bool plain_test(const Snake &a, const Snake &b, int extra = 0, bool outside_counts = true) {
    const uint32_t na = static_cast<uint32_t>(static_cast<int>(a.length) + extra);
    const uint32_t nb = static_cast<uint32_t>(static_cast<int>(b.length) + extra);
    for (uint32_t j = 0; j < nb && j < SNAKE_CAPACITY; j++) {
        for (uint32_t i = 0; i < na && i < SNAKE_CAPACITY; i++) {
            if (a.x[i] != b.x[j] || a.y[i] != b.y[j]) continue;
            if (!outside_counts && (a.x[i] >= 640 || a.y[i] >= 480)) continue;
            return true;
        }
    }
    return false;
}

uint32_t below(Rng &rng, uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); }
bool chance(Rng &rng, uint32_t one_in) { return below(rng, one_in) == 0; }

template <size_t N>
uint32_t pick(Rng &rng, const uint32_t (&values)[N]) {
    return values[below(rng, N)];
}

// Values on both sides of the screen's edges, and wrapped ones.
const uint32_t EDGE_X[] = {0,     1,      4,      5,           634,         635,
                           638,   639,    640,    641,         644,         645,
                           1279,  65536,  2147483648u, 4294967286u, 4294967291u, 4294967295u};
const uint32_t EDGE_Y[] = {0,   1,     4,     5,           474,         475,         478, 479,
                           480, 481,   485,   959,         65536,       4294967286u, 4294967291u,
                           4294967295u};

enum Palette { LATTICE, EDGES, PIXELS_AT_CORNER, MIXED, PALETTE_COUNT };

struct Point {
    uint32_t x, y;
};

// A coordinate pair from a palette. `side` 0 or 1 splits each palette in
// two halves that share no point (by x for the lattice and the pixels, by
// y for the edge values), so that snakes drawn from the two halves of one
// palette never meet and those of the mixed palette seldom do; -1 takes
// the whole palette.
Point draw_point(Rng &rng, Palette palette, uint32_t lattice_size, int side) {
    switch (palette) {
    case LATTICE: {
        // The 5-pixel lattice of the field, a few cells wide so that
        // segments meet often. The halves take alternate columns.
        uint32_t col = below(rng, lattice_size);
        if (side >= 0) col = col * 2 + static_cast<uint32_t>(side);
        return {50 + 5 * col, 50 + 5 * below(rng, lattice_size)};
    }
    case EDGES: {
        uint32_t y = pick(rng, EDGE_Y);
        if (side >= 0) {
            // Lower half of EDGE_Y for side 0, upper half for side 1.
            const uint32_t half = sizeof EDGE_Y / sizeof EDGE_Y[0] / 2;
            y = EDGE_Y[below(rng, half) + (side == 1 ? half : 0)];
        }
        return {pick(rng, EDGE_X), y};
    }
    case PIXELS_AT_CORNER: {
        // Any pixel around the screen's bottom right corner, on or off it.
        uint32_t x = 632 + below(rng, 8);
        if (side >= 0) x = 632 + 2 * below(rng, 8) + static_cast<uint32_t>(side);
        return {x, 472 + below(rng, 16)};
    }
    default: {
        const Palette p = static_cast<Palette>(below(rng, MIXED));
        return draw_point(rng, p, lattice_size, side);
    }
    }
}

uint32_t draw_length(Rng &rng) {
    const uint32_t r = below(rng, 100);
    if (r < 8) return below(rng, 4);                         // empty and tiny
    if (r < 9) return 1000 + below(rng, SNAKE_CAPACITY - 1000);  // long, up to full
    return below(rng, 301);
}

struct Case {
    uint32_t mode;
    std::string story;
};

// Fills the drawn entries and a few slots past the tail from a palette.
void fill(Rng &rng, Snake &s, uint32_t length, Palette palette, uint32_t lattice_size, int side) {
    s.length = length;
    const uint32_t last = std::min(length + 12, SNAKE_CAPACITY);
    for (uint32_t i = 0; i < last; i++) {
        const Point p = draw_point(rng, palette, lattice_size, side);
        s.x[i] = p.x;
        s.y[i] = p.y;
    }
    s.head_x = s.x[0];
    s.head_y = s.y[0];
}

// Copies drawn segments of `from` into the slots past the tail of `to`:
// they would meet if those slots were counted.
void bait_stale_slots(Rng &rng, Snake &to, const Snake &from) {
    if (from.length == 0) return;
    for (uint32_t k = 0; k < 3; k++) {
        const uint32_t slot = to.length + k;
        if (slot >= SNAKE_CAPACITY) return;
        const uint32_t src = chance(rng, 2) ? from.length - 1 : below(rng, from.length);
        to.x[slot] = from.x[src];
        to.y[slot] = from.y[src];
    }
}

// One drawn segment of each snake moved onto the same point, on or off the
// screen: the head, the last segment or any other.
void plant_match(Rng &rng, Snake &a, Snake &b, std::ostringstream &story) {
    const Point p = draw_point(rng, static_cast<Palette>(below(rng, MIXED)), 6, -1);
    auto index_in = [&rng](const Snake &s) {
        const uint32_t r = below(rng, 3);
        return r == 0 ? 0 : r == 1 ? s.length - 1 : below(rng, s.length);
    };
    const uint32_t i = index_in(a), j = index_in(b);
    a.x[i] = b.x[j] = p.x;
    a.y[i] = b.y[j] = p.y;
    story << " planted at p1[" << i << "]/p2[" << j << "] (" << p.x << "," << p.y << ")";
}

// A pair of snakes in one of three ways: both from the same palette, so
// that they meet by chance; from the two halves of a palette, so that they
// cannot meet unless a match is planted; or one a copy of the other.
Case make_pair(Rng &rng) {
    std::ostringstream story;
    Case c{chance(rng, 2) ? uint32_t{MODE_TWO_PLAYERS} : uint32_t{MODE_VS_COMPUTER}, ""};
    const Palette palette = static_cast<Palette>(below(rng, PALETTE_COUNT));
    const uint32_t lattice_size = 2 + below(rng, 30);
    uint32_t n1 = draw_length(rng), n2 = draw_length(rng);
    // Two long snakes together only now and then: the plain test is slow.
    if (n1 > 300 && n2 > 300 && !chance(rng, 20)) n2 = below(rng, 301);
    const uint32_t way = below(rng, 10);
    story << "palette " << palette << " lattice " << lattice_size;
    if (way < 4) {
        story << " chance";
        fill(rng, player1, n1, palette, lattice_size, -1);
        fill(rng, player2, n2, palette, lattice_size, -1);
    } else if (way < 9) {
        story << " apart";
        fill(rng, player1, n1, palette, lattice_size, 0);
        fill(rng, player2, n2, palette, lattice_size, 1);
        if (n1 > 0 && n2 > 0 && chance(rng, 2)) plant_match(rng, player1, player2, story);
    } else {
        story << " copy";
        fill(rng, player1, n1, palette, lattice_size, -1);
        std::memcpy(&player2, &player1, sizeof player2);
        if (chance(rng, 2)) player2.length = below(rng, n1 + 1);
    }
    if (chance(rng, 2)) bait_stale_slots(rng, player1, player2);
    if (chance(rng, 2)) bait_stale_slots(rng, player2, player1);
    story << " lengths " << player1.length << "/" << player2.length;
    c.story = story.str();
    return c;
}

Snake saved1, saved2;

class CrossDifferentialTest : public GameTest {
protected:
    static bool game_ended() { return menu_active == 1 && game_active == 0; }
};
}  // namespace

TEST_F(CrossDifferentialTest, GameEndsExactlyWhenTheStraightforwardTestFindsAMatch) {
    constexpr int CASES = 6000;
    Rng rng(20240607);
    int ended = 0, kept = 0;
    // Cases in which a careless fast test would go wrong.
    int stale_would_match = 0, off_screen_decides = 0, last_segment_decides = 0;

    for (int n = 0; n < CASES; n++) {
        const Case c = make_pair(rng);
        start_playing(c.mode);
        const bool expected = plain_test(player1, player2);
        if (player1.length * player2.length <= 100000) {
            stale_would_match += !expected && plain_test(player1, player2, 1);
            off_screen_decides += expected && !plain_test(player1, player2, 0, false);
            last_segment_decides += expected && !plain_test(player1, player2, -1);
        }
        std::memcpy(&saved1, &player1, sizeof saved1);
        std::memcpy(&saved2, &player2, sizeof saved2);
        const uint32_t resets_before = reset_count;

        check_snakes_cross();

        ASSERT_EQ(game_ended(), expected) << "case " << n << ": " << c.story;
        if (expected) {
            ended++;
            // Player 2 reset first, then player 1, each game once.
            ASSERT_EQ(reset_count, resets_before + 2) << "case " << n;
            ASSERT_EQ(player1.length, 1u);
            ASSERT_EQ(player2.length, 1u);
            ASSERT_EQ(player2.head_y, (resets_before + 1) % 2 == 1 ? 100u : 240u);
            ASSERT_EQ(player1.head_y, (resets_before + 2) % 2 == 1 ? 100u : 240u);
            ASSERT_EQ(p1_score, 0u);
        } else {
            kept++;
            ASSERT_EQ(reset_count, resets_before) << "case " << n;
            ASSERT_EQ(std::memcmp(&saved1, &player1, sizeof saved1), 0) << "case " << n;
            ASSERT_EQ(std::memcmp(&saved2, &player2, sizeof saved2), 0) << "case " << n;
            ASSERT_EQ(game_active, 1);
        }
    }
    // Both outcomes, and the traps, come up often enough to mean something.
    EXPECT_GT(ended, CASES / 5);
    EXPECT_GT(kept, CASES / 5);
    EXPECT_GT(stale_would_match, 200);
    EXPECT_GT(off_screen_decides, 200);
    EXPECT_GT(last_segment_decides, 100);
}

TEST_F(CrossDifferentialTest, FullLengthSnakesMeetOnlyOnTheirLastSegments) {
    // Two snakes of the whole capacity on separate pixels but for the last
    // drawn segment of each; the slots past the tails are never read.
    start_playing(MODE_TWO_PLAYERS);
    for (uint32_t i = 0; i < SNAKE_CAPACITY; i++) {
        player1.x[i] = i % 640;
        player1.y[i] = (i / 640) * 2;
        player2.x[i] = i % 640;
        player2.y[i] = (i / 640) * 2 + 1;
    }
    player1.length = player2.length = SNAKE_CAPACITY - 1;
    player2.x[SNAKE_CAPACITY - 1] = player1.x[SNAKE_CAPACITY - 2];
    player2.y[SNAKE_CAPACITY - 1] = player1.y[SNAKE_CAPACITY - 2];  // stale: no end
    ASSERT_FALSE(plain_test(player1, player2));
    check_snakes_cross();
    EXPECT_FALSE(game_ended());

    player2.x[SNAKE_CAPACITY - 2] = player1.x[SNAKE_CAPACITY - 2];
    player2.y[SNAKE_CAPACITY - 2] = player1.y[SNAKE_CAPACITY - 2];
    ASSERT_TRUE(plain_test(player1, player2));
    check_snakes_cross();
    EXPECT_TRUE(game_ended());
}

TEST_F(CrossDifferentialTest, SnakesWhollyOffTheScreenAreComparedToo) {
    // Every segment wrapped round below 0 or past the screen's edges.
    start_playing(MODE_VS_COMPUTER);
    for (uint32_t i = 0; i < 400; i++) {
        player1.x[i] = 4294967295u - 5 * i;
        player1.y[i] = 480 + i;
        player2.x[i] = 640 + 5 * i;
        player2.y[i] = 4294967286u;
    }
    player1.length = player2.length = 400;
    check_snakes_cross();
    EXPECT_FALSE(game_ended());

    player2.x[399] = player1.x[0];
    player2.y[399] = player1.y[0];
    check_snakes_cross();
    EXPECT_TRUE(game_ended());
}
