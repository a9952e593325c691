// The play frame and the end-of-game screen, pixel by pixel.
#include "game_fixture.h"

#include "app/datafile.h"
#include "app/main_loop.h"
#include "record/record.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "screens/gameover.h"
#include "screens/options.h"
#include "screens/play.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

class PlayScreenTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        start_playing(MODE_ONE_PLAYER);
        key[KEY_ESC] = 0;
        row_ = create_bitmap(640, 8);
        clear_bitmap(row_);
    }
    void TearDown() override {
        destroy_bitmap(row_);
        GameTest::TearDown();
    }
    // The pixels of a screen row of text that differ from what row_ holds.
    int row_differences(int top) const {
        int differing = 0;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 640; x++)
                if (getpixel(row_, x, y) != getpixel(screen, x, top + y)) differing++;
        return differing;
    }
    BITMAP *row_ = nullptr;  // what a status row should look like
};

TEST_F(PlayScreenTest, DoubleYellowBorderWithAGapBetween) {
    draw_play_frame();
    for (int y : {100, 300, 431}) {
        EXPECT_TRUE(pixel_is(screen, 48, y, 255, 255, 0)) << y;
        EXPECT_TRUE(pixel_is(screen, 49, y, 0, 0, 0)) << y;
        EXPECT_TRUE(pixel_is(screen, 602, y, 255, 255, 0)) << y;
        EXPECT_TRUE(pixel_is(screen, 601, y, 0, 0, 0)) << y;
    }
    for (int y : {100, 300, 430}) {
        EXPECT_TRUE(pixel_is(screen, 50, y, 255, 255, 0)) << y;
        EXPECT_TRUE(pixel_is(screen, 600, y, 255, 255, 0)) << y;
    }
    EXPECT_TRUE(pixel_is(screen, 300, 48, 255, 255, 0));
    EXPECT_TRUE(pixel_is(screen, 300, 49, 0, 0, 0));
    EXPECT_TRUE(pixel_is(screen, 300, 50, 255, 255, 0));
    EXPECT_TRUE(pixel_is(screen, 300, 430, 255, 255, 0));
    EXPECT_TRUE(pixel_is(screen, 300, 432, 255, 255, 0));
    EXPECT_TRUE(pixel_is(screen, 300, 433, 0, 0, 0));
}

TEST_F(PlayScreenTest, SnakeSquaresAreElevenPixelsHeadFirst) {
    lay_snake(player1, 100, 100, 10, 0, 3);
    snake_red = 0;
    snake_green = 0;
    snake_blue = 255;
    draw_play_frame();
    EXPECT_EQ(count_colour(screen, 90, 90, 140, 120, 0, 0, 255), 31 * 11);
    EXPECT_TRUE(pixel_is(screen, 100, 100, 0, 0, 255));
    EXPECT_TRUE(pixel_is(screen, 130, 110, 0, 0, 255));
    EXPECT_FALSE(pixel_is(screen, 131, 110, 0, 0, 255));
    EXPECT_FALSE(pixel_is(screen, 100, 111, 0, 0, 255));
    // Length 0 draws no square, the rest of the frame all the same.
    player1.length = 0;
    draw_play_frame();
    EXPECT_EQ(count_colour(screen, 90, 90, 140, 120, 0, 0, 255), 0);
    EXPECT_TRUE(pixel_is(screen, 48, 200, 255, 255, 0));
}

TEST_F(PlayScreenTest, OnePlayerStatusRowInTheSnakeColourWithRecord) {
    snake_red = 255;
    snake_green = 255;
    snake_blue = 0;
    draw_play_frame();
    const int in_row = count_colour(screen, 0, 0, 639, 7, 255, 255, 0);
    EXPECT_GT(count_colour(screen, 30, 0, 150, 7, 255, 255, 0), 20);   // " SCORE : 0"
    EXPECT_GT(count_colour(screen, 200, 0, 330, 7, 255, 255, 0), 20);  // "VITESSE   : 0"
    EXPECT_GT(count_colour(screen, 400, 0, 500, 7, 255, 255, 0), 20);  // "NIVEAU : 0"
    EXPECT_GT(count_colour(screen, 540, 0, 639, 7, 255, 255, 0), 20);  // "RECORD : 0"
    EXPECT_EQ(count_colour(screen, 0, 460, 639, 479, 255, 0, 255), 0);  // no bottom row

    // The text is exactly the game's: compare with the library drawing it.
    const int c = makecol(255, 255, 0);
    textprintf(row_, font, 200, 0, c, "VITESSE   : %d", 0);
    textprintf(row_, font, 30, 0, c, " SCORE : %d", 0);
    textprintf(row_, font, 400, 0, c, "NIVEAU : %d", 0);
    textprintf(row_, font, 540, 0, c, "RECORD : %d", 0);
    EXPECT_EQ(row_differences(0), 0);
    EXPECT_GT(in_row, 100);
}

TEST_F(PlayScreenTest, StatusRowsShowTheirValues) {
    p1_score = 120;
    p2_score = 30;
    level = 1;
    ticks_last_second = 30;
    record = 4294967291u;  // shown signed, as -5
    draw_play_frame();
    const int c = makecol(snake_red, snake_green, snake_blue);
    textprintf(row_, font, 200, 0, c, "VITESSE   : 30");
    textprintf(row_, font, 30, 0, c, " SCORE : 120");
    textprintf(row_, font, 400, 0, c, "NIVEAU : 1");
    textprintf(row_, font, 540, 0, c, "RECORD : -5");
    EXPECT_EQ(row_differences(0), 0);

    // Two snakes: no record, a magenta bottom row with its own spacing.
    game_mode = MODE_TWO_PLAYERS;
    draw_play_frame();
    clear_bitmap(row_);
    const int m = makecol(255, 0, 255);
    textprintf(row_, font, 30, 0, m, "SCORE : 30");
    textprintf(row_, font, 200, 0, m, "VITESSE : 30");
    textprintf(row_, font, 400, 0, m, "NIVEAU   : 1");
    EXPECT_EQ(row_differences(470), 0);
    EXPECT_EQ(count_colour(screen, 540, 0, 639, 7, snake_red, snake_green, snake_blue), 0);
}

TEST_F(PlayScreenTest, PlayerOneIsDrawnOverPlayerTwoAndTheBorderOverPlayerTwo) {
    game_mode = MODE_VS_COMPUTER;
    snake_red = 0;
    snake_green = 255;
    snake_blue = 0;
    lay_snake(player1, 300, 200, 10, 0, 2);
    lay_snake(player2, 305, 195, 0, 10, 2);
    player2.x[1] = 590;  // a square lying on the inner outline
    player2.y[1] = 200;
    draw_play_frame();
    EXPECT_TRUE(pixel_is(screen, 305, 200, 0, 255, 0));    // overlap: player 1 on top
    EXPECT_TRUE(pixel_is(screen, 305, 196, 255, 0, 255));  // player 2 elsewhere
    EXPECT_TRUE(pixel_is(screen, 600, 205, 255, 255, 0));  // outline repainted over it
    EXPECT_TRUE(pixel_is(screen, 599, 205, 255, 0, 255));

    game_mode = MODE_ONE_PLAYER;  // player 2 is not drawn
    draw_play_frame();
    EXPECT_EQ(count_colour(screen, 0, 0, 639, 479, 255, 0, 255), 0);
}

TEST_F(PlayScreenTest, AppleIsTheChosenPictureAtItsCorner) {
    for (int sprite = 0; sprite < 6; sprite++) {
        apple_sprite = sprite;
        apple_x = 200;
        apple_y = 300;
        draw_play_frame();
        BITMAP *pic = data_bitmap(sprite);
        int drawn = 0;
        for (int y = 0; y < pic->h; y++)
            for (int x = 0; x < pic->w; x++) {
                const int c = getpixel(pic, x, y);
                if (c == bitmap_mask_color(pic)) {
                    EXPECT_EQ(getpixel(screen, 200 + x, 300 + y), 0);
                } else {
                    EXPECT_EQ(getpixel(screen, 200 + x, 300 + y), c);
                    drawn++;
                }
            }
        EXPECT_GT(drawn, 30) << sprite;
    }
}

class GameOverTest : public PlayScreenTest {
protected:
    static bool text_at(int x, int y, int r, int g, int b, const char *text) {
        BITMAP *expect = create_bitmap(8 * static_cast<int>(strlen(text)), 8);
        clear_to_color(expect, bitmap_mask_color(expect));
        text_mode(-1);
        textprintf(expect, font, 0, 0, makecol(r, g, b), "%s", text);
        bool same = true;
        for (int yy = 0; yy < 8; yy++)
            for (int xx = 0; xx < expect->w; xx++) {
                const int c = getpixel(expect, xx, yy);
                if (c != bitmap_mask_color(expect) && getpixel(screen, x + xx, y + yy) != c)
                    same = false;
            }
        destroy_bitmap(expect);
        return same;
    }
};

TEST_F(GameOverTest, NewRecordBannerLetterByLetterThenTheScore) {
    new_record_flag = 1;
    p1_score = 130;
    draw_play_frame();
    draw_game_over();
    EXPECT_TRUE(pixel_is(screen, 150, 100, 96, 0, 0));
    EXPECT_TRUE(pixel_is(screen, 500, 300, 96, 0, 0));
    EXPECT_TRUE(pixel_is(screen, 300, 100, 96, 0, 0));
    EXPECT_FALSE(pixel_is(screen, 300, 200, 96, 0, 0));  // outline only
    const struct {
        int x;
        const char *letter;
        int r, g, b;
    } letters[] = {{168, "N", 255, 0, 0},   {178, "E", 0, 255, 0},     {188, "W", 0, 0, 255},
                   {208, "R", 255, 255, 0}, {218, "E", 0, 255, 255},   {228, "C", 255, 255, 255},
                   {238, "O", 120, 0, 0},   {248, "R", 0, 200, 0},     {258, "D", 0, 20, 200}};
    for (const auto &l : letters) EXPECT_TRUE(text_at(l.x, 120, l.r, l.g, l.b, l.letter)) << l.x;
    EXPECT_TRUE(text_at(280, 120, 0, 255, 0, " TOUTES NOS FELICITATIONS !"));
    EXPECT_TRUE(text_at(160, 150, 255, 255, 0, "Votre score est de : 130"));
    EXPECT_TRUE(text_at(160, 280, 96, 128, 0, "Appuyez sur ESCAPE pour retourner au menu "));
    EXPECT_FALSE(text_at(160, 120, 0, 255, 0, "VOUS N'AVEZ PAS PU BATTRE LE RECORD !"));
}

TEST_F(GameOverTest, RecordNotBeatenAndTwoSnakeScoreLines) {
    new_record_flag = 0;
    p1_score = 20;
    draw_game_over();
    EXPECT_TRUE(text_at(160, 120, 0, 255, 0, "VOUS N'AVEZ PAS PU BATTRE LE RECORD !"));
    EXPECT_EQ(count_colour(screen, 168, 120, 175, 127, 255, 0, 0), 0);  // no banner
    EXPECT_TRUE(text_at(160, 150, 255, 255, 0, "Votre score est de : 20"));

    clear_bitmap(back_buffer);
    game_mode = MODE_TWO_PLAYERS;
    new_record_flag = 1;  // not read with two snakes
    snake_red = 0;
    snake_green = 0;
    snake_blue = 255;
    p1_score = 40;
    p2_score = 70;
    draw_game_over();
    EXPECT_TRUE(text_at(160, 150, 0, 0, 255, "Le score du joueur 1 est : 40"));
    EXPECT_TRUE(text_at(160, 180, 255, 0, 255, "Le score du joueur 2 est : 70"));
    EXPECT_EQ(count_colour(screen, 150, 110, 500, 130, 255, 0, 0), 0);
    EXPECT_EQ(count_colour(screen, 150, 110, 500, 130, 0, 255, 0), 0);
}

// A new record that could not be saved says so on one more line; in every
// other case the box shows nothing between the score line and the ESC line
// but the play frame beneath, pixel for pixel.
TEST_F(GameOverTest, FailedSaveAddsOneLineAndNothingElseDoes) {
    const char *const NOT_SAVED = "LE RECORD N'A PAS PU ETRE ENREGISTRE !";
    const struct {
        uint32_t mode;
        int32_t new_record, save_failed;
    } cases[] = {{MODE_ONE_PLAYER, 1, 1}, {MODE_ONE_PLAYER, 1, 0},
                 {MODE_ONE_PLAYER, 0, 1},  // left from an earlier game
                 {MODE_VS_COMPUTER, 1, 1}};
    lay_snake(player1, 300, 230, -10, 0, 12);  // under the new line
    BITMAP *beneath = create_bitmap(640, 480);
    for (const auto &c : cases) {
        game_mode = c.mode;
        new_record_flag = c.new_record;
        record_save_failed = c.save_failed;
        p1_score = 130;
        draw_play_frame();
        blit(back_buffer, beneath, 0, 0, 0, 0, 640, 480);
        draw_game_over();
        const bool line = c.mode == MODE_ONE_PLAYER && c.new_record == 1 && c.save_failed == 1;
        EXPECT_EQ(text_at(160, 180, 255, 128, 0, NOT_SAVED), line) << c.mode << c.new_record;
        if (c.mode == MODE_ONE_PLAYER && c.new_record == 1) {
            EXPECT_TRUE(text_at(280, 120, 0, 255, 0, " TOUTES NOS FELICITATIONS !"));
            EXPECT_TRUE(text_at(160, 150, 255, 255, 0, "Votre score est de : 130"));
        }
        // Inside the outline, from below the score line to above the ESC
        // line, but for row 180 where a line is due.
        const bool row_180_drawn = line || c.mode != MODE_ONE_PLAYER;
        int changed = 0;
        for (int y = 158; y < 280; y++)
            for (int x = 151; x < 500; x++)
                if (getpixel(screen, x, y) != getpixel(beneath, x, y) &&
                    !(row_180_drawn && y >= 180 && y < 188))
                    changed++;
        EXPECT_EQ(changed, 0) << "drawn where nothing is due, case " << c.mode << c.new_record
                              << c.save_failed;
    }
    destroy_bitmap(beneath);
}

TEST_F(GameOverTest, DrawnOverTheLastPlayFrameWithoutClearing) {
    lay_snake(player1, 300, 200, 10, 0, 1);
    draw_play_frame();
    draw_game_over();
    EXPECT_TRUE(pixel_is(screen, 48, 200, 255, 255, 0));  // border still there
    EXPECT_TRUE(pixel_is(screen, 305, 205, 0, 255, 0));    // and the snake inside the box
}

TEST_F(GameOverTest, RunsUntilEscapeThenZeroesScoresWithTheMenuCurrent) {
    p1_score = 50;
    p2_score = 20;
    key[KEY_ESC] = 1;  // already held: exactly one frame
    run_game_over();
    EXPECT_EQ(game_active, 0);
    EXPECT_EQ(menu_active, 1);
    EXPECT_EQ(options_active, 0);
    EXPECT_EQ(p1_score, 0u);
    EXPECT_EQ(p2_score, 0u);
    EXPECT_TRUE(pixel_is(screen, 150, 100, 96, 0, 0));
    EXPECT_EQ(text_mode(-1), -1);
}
