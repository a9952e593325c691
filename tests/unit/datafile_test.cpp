// The built snake.dat: at every index the screens use there is a picture or
// the sample, of a size that fits the place where the screen draws it.
#include <allegro.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/datafile.h"

namespace {

const int PICTURES[] = {IMG_APPLE_0,        IMG_APPLE_1,     IMG_APPLE_2,    IMG_APPLE_3,
                        IMG_APPLE_4,        IMG_APPLE_5,     IMG_BUTTON_CREDITS, IMG_BUTTON_PLAY,
                        IMG_MENU_TITLE,     IMG_BUTTON_OPTIONS, IMG_BUTTON_QUIT, IMG_OPTIONS_BACKGROUND,
                        IMG_ARROW_RIGHT,    IMG_ARROW_LEFT,  IMG_CREDITS_BACKGROUND};
const int APPLES[] = {IMG_APPLE_0, IMG_APPLE_1, IMG_APPLE_2, IMG_APPLE_3, IMG_APPLE_4, IMG_APPLE_5};
const int BUTTONS[] = {IMG_BUTTON_CREDITS, IMG_BUTTON_PLAY, IMG_BUTTON_OPTIONS, IMG_BUTTON_QUIT};

class DatafileTest : public ::testing::Test {
protected:
    static DATAFILE *data;

    static void SetUpTestSuite() { data = load_datafile(SNAKE_DAT_PATH); }

    static void TearDownTestSuite() {
        if (data)
            unload_datafile(data);
        data = nullptr;
    }

    void SetUp() override { ASSERT_NE(data, nullptr) << "cannot load " << SNAKE_DAT_PATH; }

    static BITMAP *picture(int index) { return static_cast<BITMAP *>(data[index].dat); }
};

DATAFILE *DatafileTest::data = nullptr;

bool is_mask(BITMAP *bmp, int x, int y) { return getpixel(bmp, x, y) == bitmap_mask_color(bmp); }

// How many drawn (not mask-coloured) pixels each column holds.
std::vector<int> painted_per_column(BITMAP *bmp) {
    std::vector<int> counts(static_cast<size_t>(bmp->w), 0);
    for (int x = 0; x < bmp->w; x++)
        for (int y = 0; y < bmp->h; y++)
            counts[static_cast<size_t>(x)] += is_mask(bmp, x, y) ? 0 : 1;
    return counts;
}

double mean_brightness(BITMAP *bmp, int x0, int y0, int x1, int y1) {
    double sum = 0.0;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            int c = getpixel(bmp, x, y);
            sum += (getr(c) + getg(c) + getb(c)) / 3.0;
        }
    return sum / ((x1 - x0 + 1) * (y1 - y0 + 1));
}

TEST_F(DatafileTest, HoldsAPictureOrTheSampleAtEveryIndexTheScreensUse) {
    int entries = 0;
    while (data[entries].type != DAT_END)
        entries++;
    EXPECT_GE(entries, DATAFILE_ENTRIES_USED);
    for (int index : PICTURES) {
        ASSERT_EQ(data[index].type, DAT_BITMAP) << "entry " << index;
        EXPECT_EQ(bitmap_color_depth(picture(index)), 16) << "entry " << index;
    }
    EXPECT_EQ(data[SND_CLICK].type, DAT_SAMPLE);
}

TEST_F(DatafileTest, MenuPicturesFitTheirPlaces) {
    for (int index : BUTTONS) {
        EXPECT_EQ(picture(index)->w, 256) << "button " << index;
        EXPECT_EQ(picture(index)->h, 77) << "button " << index;
    }
    // the title is drawn at (110, 0), above the first button at y = 100
    BITMAP *title = picture(IMG_MENU_TITLE);
    EXPECT_LE(title->w, 420);
    EXPECT_LE(title->h, 100);
}

TEST_F(DatafileTest, ApplesAreSixDifferentSmallSpritesOnATransparentGround) {
    for (int index : APPLES) {
        BITMAP *apple = picture(index);
        ASSERT_GE(apple->w, 11) << "apple " << index;
        ASSERT_LE(apple->w, 16) << "apple " << index;
        ASSERT_GE(apple->h, 11) << "apple " << index;
        ASSERT_LE(apple->h, 16) << "apple " << index;
        const int right = apple->w - 1, bottom = apple->h - 1;
        EXPECT_TRUE(is_mask(apple, 0, 0) && is_mask(apple, right, 0) && is_mask(apple, 0, bottom) &&
                    is_mask(apple, right, bottom))
            << "apple " << index << " shows its corners";
        EXPECT_FALSE(is_mask(apple, apple->w / 2, apple->h / 2)) << "apple " << index << " has a hole";
    }
    for (int a = 0; a < 6; a++)
        for (int b = a + 1; b < 6; b++) {
            BITMAP *first = picture(APPLES[a]), *second = picture(APPLES[b]);
            bool differ = first->w != second->w || first->h != second->h;
            for (int y = 0; !differ && y < first->h; y++)
                for (int x = 0; !differ && x < first->w; x++)
                    differ = getpixel(first, x, y) != getpixel(second, x, y);
            EXPECT_TRUE(differ) << "apples " << a << " and " << b << " are the same picture";
        }
}

TEST_F(DatafileTest, ArrowsPointTheWayTheyTurnTheSetting) {
    for (int index : {IMG_ARROW_RIGHT, IMG_ARROW_LEFT}) {
        BITMAP *arrow = picture(index);
        ASSERT_GE(arrow->w, 16);
        ASSERT_LE(arrow->w, 24);
        ASSERT_GE(arrow->h, 16);
        ASSERT_LE(arrow->h, 24);
        std::vector<int> counts = painted_per_column(arrow);
        auto first = std::find_if(counts.begin(), counts.end(), [](int n) { return n > 0; });
        auto last = std::find_if(counts.rbegin(), counts.rend(), [](int n) { return n > 0; });
        ASSERT_NE(first, counts.end()) << "arrow " << index << " is empty";
        const int tallest = *std::max_element(counts.begin(), counts.end());
        // the tip is the narrow end, at the side the arrow points to
        const bool points_right = index == IMG_ARROW_RIGHT;
        const int tip = points_right ? *last : *first, back = points_right ? *first : *last;
        const int tip_x = points_right ? arrow->w - 1 - static_cast<int>(last - counts.rbegin())
                                       : static_cast<int>(first - counts.begin());
        EXPECT_LE(tip * 3, tallest) << "arrow " << index << " has a blunt tip";
        EXPECT_GT(back, tip) << "arrow " << index << " points the wrong way";
        if (points_right)
            EXPECT_GE(tip_x, arrow->w * 3 / 4);
        else
            EXPECT_LE(tip_x, arrow->w / 4);
    }
}

TEST_F(DatafileTest, BackgroundsFitTheScreenAndStayDarkUnderTheText) {
    BITMAP *options = picture(IMG_OPTIONS_BACKGROUND);
    EXPECT_LE(170 + options->w, 640);
    EXPECT_LE(options->h, 480);
    // the settings rows (x 225..335, y 165..305 on screen) and the ESCAPE line
    ASSERT_GE(options->w, 170);
    ASSERT_GE(options->h, 430);
    EXPECT_LT(mean_brightness(options, 225 - 170, 160, 335 - 170, 305), 48.0);
    EXPECT_LT(mean_brightness(options, 0, 415, std::min(options->w, 320) - 1, 430), 48.0);

    BITMAP *credits = picture(IMG_CREDITS_BACKGROUND);
    ASSERT_EQ(credits->w, 640);
    ASSERT_EQ(credits->h, 480);
    // the credit lines scroll up the middle of the screen
    EXPECT_LT(mean_brightness(credits, 150, 60, 490, 420), 48.0);
}

TEST_F(DatafileTest, ClickIsAShortAudibleSound) {
    const SAMPLE *click = static_cast<SAMPLE *>(data[SND_CLICK].dat);
    ASSERT_GT(click->freq, 0);
    ASSERT_GT(click->len, 0UL);
    EXPECT_LT(static_cast<double>(click->len) / click->freq, 0.1);
    // samples are stored unsigned: silence is the middle of the range
    const unsigned long values = click->len * (click->stereo ? 2 : 1);
    int peak = 0;
    for (unsigned long i = 0; i < values; i++) {
        int v = click->bits == 16 ? static_cast<const unsigned short *>(click->data)[i] - 0x8000
                                  : (static_cast<const unsigned char *>(click->data)[i] - 0x80) * 256;
        peak = std::max(peak, std::abs(v));
    }
    EXPECT_GT(peak, 0x8000 / 4) << "the click is too quiet to hear";
}

}  // namespace
