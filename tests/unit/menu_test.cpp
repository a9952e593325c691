// The main menu's pictures, frames and mouse areas, and the credits frames.
#include "game_fixture.h"

#include "app/datafile.h"
#include "app/main_loop.h"
#include "screens/credits.h"
#include "screens/menu.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {
const int FRAME_TOPS[] = {100, 200, 300, 400};

// Which button frame, if any, is blue on the screen; -1 for none.
int blue_frame() {
    int found = -1;
    for (int i = 0; i < 4; i++) {
        const int top = FRAME_TOPS[i];
        const bool blue = pixel_is(screen, 300, top, 0, 0, 255) &&
                          pixel_is(screen, 180, top + 40, 0, 0, 255) &&
                          pixel_is(screen, 435, top + 76, 0, 0, 255);
        if (blue) {
            EXPECT_EQ(found, -1) << "two blue frames";
            found = i;
        }
    }
    return found;
}

int current_text_mode() {
    const int mode = text_mode(0);
    text_mode(mode);
    return mode;
}
}  // namespace

class MenuTest : public GameTest {};

TEST_F(MenuTest, DrawsTitleButtonsAndGreenFramesAndShowsTheFrame) {
    draw_menu();
    for (int top : FRAME_TOPS) {
        // The outline runs round 256 x 77 pixels from (180, top).
        EXPECT_TRUE(pixel_is(screen, 180, top, 0, 255, 0));
        EXPECT_TRUE(pixel_is(screen, 435, top, 0, 255, 0));
        EXPECT_TRUE(pixel_is(screen, 180, top + 76, 0, 255, 0));
        EXPECT_TRUE(pixel_is(screen, 435, top + 76, 0, 255, 0));
        EXPECT_TRUE(pixel_is(screen, 300, top + 76, 0, 255, 0));
        EXPECT_FALSE(pixel_is(screen, 300, top + 77, 0, 255, 0));
        EXPECT_FALSE(pixel_is(screen, 436, top + 30, 0, 255, 0));
    }
    EXPECT_EQ(blue_frame(), -1);
    // The button pictures lie inside their frames, the title above them.
    const struct {
        int picture, x, y;
    } placed[] = {{IMG_BUTTON_PLAY, 180, 100},
                  {IMG_BUTTON_OPTIONS, 180, 200},
                  {IMG_BUTTON_CREDITS, 180, 300},
                  {IMG_BUTTON_QUIT, 180, 400},
                  {IMG_MENU_TITLE, 110, 0}};
    for (const auto &p : placed) {
        BITMAP *pic = data_bitmap(p.picture);
        int matched = 0, compared = 0;
        for (int y = 2; y < pic->h - 2; y += 3) {
            for (int x = 2; x < pic->w - 2; x += 3) {
                const int c = getpixel(pic, x, y);
                if (c == bitmap_mask_color(pic)) continue;
                compared++;
                if (getpixel(screen, p.x + x, p.y + y) == c) matched++;
            }
        }
        ASSERT_GT(compared, 20) << p.picture;
        EXPECT_EQ(matched, compared) << p.picture;
    }
}

struct PointerCase {
    int x, y;
    int button;  // -1: over none
};

class MenuPointer : public MenuTest, public ::testing::WithParamInterface<PointerCase> {};

TEST_P(MenuPointer, BlueFrameOnlyUnderThePointerAllBoundsIncluded) {
    mouse_x = GetParam().x;
    mouse_y = GetParam().y;
    draw_menu();
    EXPECT_EQ(blue_frame(), GetParam().button);
    EXPECT_EQ(menu_active, 1);  // no button down, nothing happens
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, MenuPointer,
    ::testing::Values(PointerCase{180, 100, 0}, PointerCase{435, 100, 0}, PointerCase{180, 176, 0},
                      PointerCase{435, 176, 0}, PointerCase{179, 100, -1}, PointerCase{436, 100, -1},
                      PointerCase{180, 99, -1}, PointerCase{180, 177, -1}, PointerCase{300, 199, -1},
                      PointerCase{300, 250, 1}, PointerCase{300, 376, 2}, PointerCase{300, 377, -1},
                      PointerCase{300, 476, 3}, PointerCase{300, 477, -1}, PointerCase{50, 450, -1}));

TEST_F(MenuTest, PlayAndOptionsSwitchTheFlagsAfterAWholeMenuFrame) {
    mouse_x = 300;
    mouse_y = 140;
    mouse_b = 1;
    draw_menu();
    EXPECT_EQ(menu_active, 0);
    EXPECT_EQ(game_active, 1);
    EXPECT_EQ(options_active, 0);
    EXPECT_EQ(blue_frame(), 0);  // the frame was still finished and shown

    reset_game_state();
    mouse_x = 435;
    mouse_y = 276;
    mouse_b = 1;
    draw_menu();
    EXPECT_EQ(menu_active, 0);
    EXPECT_EQ(game_active, 0);
    EXPECT_EQ(options_active, 1);

    // The right button does nothing.
    reset_game_state();
    mouse_x = 300;
    mouse_y = 140;
    mouse_b = 2;
    draw_menu();
    EXPECT_EQ(menu_active, 1);
    EXPECT_EQ(game_active, 0);
}

TEST_F(MenuTest, QuitEndsTheProcessWithStatusZero) {
    mouse_x = 300;
    mouse_y = 440;
    mouse_b = 1;
    EXPECT_EXIT(draw_menu(), ::testing::ExitedWithCode(0), "");
}

TEST_F(MenuTest, CreditsRunInsideTheFrameAndLeaveTransparentText) {
    ASSERT_EQ(current_text_mode(), 0);
    mouse_x = 300;
    mouse_y = 340;
    mouse_b = 1;
    draw_menu();
    EXPECT_EQ(menu_active, 1);
    EXPECT_EQ(game_active, 0);
    EXPECT_EQ(options_active, 0);
    EXPECT_EQ(current_text_mode(), -1);
    // The menu frame goes on after the credits and copies the buffer, which
    // still holds the last credits frame: the bare background.
    BITMAP *background = data_bitmap(IMG_CREDITS_BACKGROUND);
    for (int y = 0; y < 480; y += 5)
        for (int x = 0; x < 640; x += 5)
            ASSERT_EQ(getpixel(screen, x, y), getpixel(background, x, y)) << x << "," << y;
}

TEST_F(MenuTest, CreditsFrameCentresItsLinesOverTheBackground) {
    BITMAP *background = data_bitmap(IMG_CREDITS_BACKGROUND);
    text_mode(-1);
    draw_credits_frame(300);
    // Headings yellow, contents green, at their offsets from the position.
    struct {
        int y;
        int r, g, b;
    } const rows[] = {{240, 255, 255, 0}, {260, 0, 255, 0}, {300, 255, 255, 0},
                      {320, 0, 255, 0},  {460, 0, 255, 0}, {500, 255, 255, 0}};
    for (const auto &row : rows) {
        if (row.y >= 480) continue;
        EXPECT_GT(count_colour(screen, 0, row.y, 639, row.y + 7, row.r, row.g, row.b), 10) << row.y;
    }
    // Lines are centred on x = 320: ink on both sides of it.
    const int line1_left = count_colour(screen, 260, 240, 319, 247, 255, 255, 0);
    const int line1_right = count_colour(screen, 320, 240, 380, 247, 255, 255, 0);
    EXPECT_GT(line1_left, 5);
    EXPECT_GT(line1_right, 5);
    // Between the lines the background shows unchanged.
    for (int x = 0; x < 640; x += 7)
        EXPECT_EQ(getpixel(screen, x, 285), getpixel(background, x, 285)) << x;

    // In the first frame the text is still below the screen; in the last
    // one it has left at the top: both show the bare background.
    for (int position : {540, -238}) {
        draw_credits_frame(position);
        int differing = 0;
        for (int y = 0; y < 480; y += 3)
            for (int x = 0; x < 640; x += 3)
                if (getpixel(screen, x, y) != getpixel(background, x, y)) differing++;
        EXPECT_EQ(differing, 0) << position;
    }
    // Shortly before, the last line still shows at the top edge.
    draw_credits_frame(-220);
    EXPECT_GT(count_colour(screen, 0, 0, 639, 7, 0, 255, 0), 10);
}

// On a monitor the picture is scaled in whole steps, centred, unless a whole
// step would leave more than a quarter of the height; the pointer is read
// back through the same place, the black around the picture beyond its edges.
TEST(ScaledPicture, LiesWhereItFitsAndThePointerIsReadBackThroughIt) {
    const struct {
        int width, height;
        PictureRect picture;
    } screens[] = {
        {800, 600, {80, 60, 640, 480}},       {1920, 1080, {320, 60, 1280, 960}},
        {2560, 1440, {320, 0, 1920, 1440}},   {3840, 2160, {640, 120, 2560, 1920}},
        {1366, 768, {171, 0, 1024, 768}},     {1600, 900, {200, 0, 1200, 900}},
        {1280, 1024, {0, 32, 1280, 960}},     {640, 480, {0, 0, 640, 480}},
    };
    for (const auto &s : screens) {
        const PictureRect r = fit_picture(s.width, s.height);
        EXPECT_TRUE(r.x == s.picture.x && r.y == s.picture.y && r.w == s.picture.w &&
                    r.h == s.picture.h)
            << s.width << "x" << s.height << ": " << r.w << "x" << r.h << "+" << r.x << "+" << r.y;
        note_picture_place(r);
        // The first and last pixels of the picture, and the black beside them.
        int x = r.x, y = r.y + r.h - 1;
        window_to_picture(&x, &y);
        EXPECT_TRUE(x == 0 && y == PICTURE_HEIGHT - 1) << s.width << ": " << x << "," << y;
        x = r.x + r.w - 1, y = r.y - 1;
        window_to_picture(&x, &y);
        EXPECT_TRUE(x == PICTURE_WIDTH - 1 && y < 0) << s.width << ": " << x << "," << y;
        x = r.x - 1, y = r.y + r.h;
        window_to_picture(&x, &y);
        EXPECT_TRUE(x < 0 && y >= PICTURE_HEIGHT) << s.width << ": " << x << "," << y;
    }
    // A window: the largest whole step the desktop's room takes.
    EXPECT_EQ(window_factor(1920, 1040), 2);
    EXPECT_EQ(window_factor(1366, 740), 1);
    EXPECT_EQ(window_factor(3840, 2100), 4);
    EXPECT_EQ(window_factor(600, 400), 1);
}
