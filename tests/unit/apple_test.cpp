// Where apples appear: their ranges, the distance from the last apple,
// keeping off the snakes, and a field too full to keep off them.
#include "game_fixture.h"

#include <cstdlib>

#include "rules/apple.h"
#include "rules/snake.h"
#include "screens/options.h"

using AppleTest = GameTest;

namespace {
bool overlaps(uint32_t ax, uint32_t ay, uint32_t sx, uint32_t sy) {
    const long dx = static_cast<long>(ax) - static_cast<long>(sx);
    const long dy = static_cast<long>(ay) - static_cast<long>(sy);
    return std::labs(dx) <= 10 && std::labs(dy) <= 10;
}

bool apple_on_snake(const Snake &snake) {
    for (uint32_t i = 0; i < snake.length; i++)
        if (overlaps(apple_x, apple_y, snake.x[i], snake.y[i])) return true;
    return false;
}

// A snake that winds through the field row by row on the given lattice,
// leaving only the cells listed free.
void fill_field(Snake &snake, uint32_t step, uint32_t x0, uint32_t x1, uint32_t y0, uint32_t y1,
                uint32_t skip_every = 0) {
    uint32_t n = 0;
    for (uint32_t y = y0; y <= y1; y += step) {
        for (uint32_t x = x0; x <= x1; x += step) {
            if (skip_every && (n + 1) % skip_every == 0 && n > 0) {
                skip_every = 0;  // one hole only
                continue;
            }
            snake.x[n] = x;
            snake.y[n] = y;
            n++;
        }
    }
    snake.length = n;
    snake.head_x = snake.x[0];
    snake.head_y = snake.y[0];
}
}  // namespace

TEST_F(AppleTest, PositionsStayInRangeAndMoveMoreThanTwentyPixelsInX) {
    reset_snake(player1);
    std::srand(7);
    uint32_t seen_min_x = 1000, seen_max_x = 0, seen_min_y = 1000, seen_max_y = 0;
    bool sprites_seen[6] = {};
    for (int n = 0; n < 5000; n++) {
        const uint32_t before = prev_apple_x;
        place_apple();
        ASSERT_GE(apple_x, 55u);
        ASSERT_LE(apple_x, 589u);
        ASSERT_GE(apple_y, 55u);
        ASSERT_LE(apple_y, 419u);
        ASSERT_GE(apple_sprite, 0);
        ASSERT_LE(apple_sprite, 5);
        if (n > 0) {
            ASSERT_GT(std::labs(static_cast<long>(apple_x) - static_cast<long>(before)), 20L);
        }
        ASSERT_EQ(prev_apple_x, apple_x);
        ASSERT_EQ(prev_apple_y, apple_y);
        seen_min_x = std::min(seen_min_x, apple_x);
        seen_max_x = std::max(seen_max_x, apple_x);
        seen_min_y = std::min(seen_min_y, apple_y);
        seen_max_y = std::max(seen_max_y, apple_y);
        sprites_seen[apple_sprite] = true;
    }
    // The whole range is used, and every picture comes up.
    EXPECT_LE(seen_min_x, 60u);
    EXPECT_GE(seen_max_x, 584u);
    EXPECT_LE(seen_min_y, 60u);
    EXPECT_GE(seen_max_y, 414u);
    for (bool seen : sprites_seen) EXPECT_TRUE(seen);
}

TEST_F(AppleTest, ExcludedBandFollowsThePreviousApple) {
    reset_snake(player1);
    for (uint32_t prev : {60u, 589u, 300u}) {
        for (int n = 0; n < 500; n++) {
            prev_apple_x = prev;
            place_apple();
            ASSERT_TRUE(apple_x < prev - 20 || apple_x > prev + 20) << prev << " " << apple_x;
        }
    }
}

TEST_F(AppleTest, ApplesKeepOffTheSnakesInPlay) {
    // A long snake zig-zagging over the left half of the field.
    fill_field(player1, 10, 50, 300, 50, 420);
    for (int n = 0; n < 300; n++) {
        place_apple();
        ASSERT_FALSE(apple_on_snake(player1)) << apple_x << "," << apple_y;
    }
    // In the two-snake modes player 2 counts too; in mode 1 it does not.
    fill_field(player2, 5, 320, 590, 50, 200);
    game_mode = MODE_TWO_PLAYERS;
    for (int n = 0; n < 300; n++) {
        place_apple();
        ASSERT_FALSE(apple_on_snake(player1));
        ASSERT_FALSE(apple_on_snake(player2)) << apple_x << "," << apple_y;
    }
    game_mode = MODE_ONE_PLAYER;
    bool landed_on_player2 = false;
    for (int n = 0; n < 300; n++) {
        place_apple();
        landed_on_player2 = landed_on_player2 || apple_on_snake(player2);
    }
    EXPECT_TRUE(landed_on_player2);
}

TEST_F(AppleTest, NearlyFullFieldStillFindsTheOneFreePlace) {
    // Every lattice cell of the field taken but for a gap big enough for an
    // apple: a 5 x 5 block of 10-pixel cells around (300, 300).
    uint32_t n = 0;
    for (uint32_t y = 50; y <= 420; y += 10)
        for (uint32_t x = 50; x <= 590; x += 10) {
            if (x >= 280 && x <= 320 && y >= 280 && y <= 320) continue;
            player1.x[n] = x;
            player1.y[n] = y;
            n++;
        }
    player1.length = n;
    for (int round = 0; round < 50; round++) {
        prev_apple_x = 100;
        place_apple();
        ASSERT_FALSE(apple_on_snake(player1)) << apple_x << "," << apple_y;
    }
}

TEST_F(AppleTest, FullFieldFallsBackToACandidateThatKeepsTheXRule) {
    fill_field(player1, 10, 50, 590, 50, 420);
    for (int round = 0; round < 200; round++) {
        const uint32_t prev = 300;
        prev_apple_x = prev;
        place_apple();
        ASSERT_GE(apple_x, 55u);
        ASSERT_LE(apple_x, 589u);
        ASSERT_GE(apple_y, 55u);
        ASSERT_LE(apple_y, 419u);
        ASSERT_TRUE(apple_x < prev - 20 || apple_x > prev + 20);
    }
}

TEST_F(AppleTest, FirstPlacementOfARunIsFreeOfTheXRule) {
    // prev_apple_x is 0 at program start, so the band 0-20 .. 0+20 wraps
    // and excludes nothing: every x of the range can come first.
    bool near_left_edge = false;
    for (int n = 0; n < 2000 && !near_left_edge; n++) {
        prev_apple_x = 0;
        place_apple();
        near_left_edge = apple_x <= 60;
    }
    EXPECT_TRUE(near_left_edge);
}
