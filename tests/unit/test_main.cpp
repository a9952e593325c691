// Starts the library once for all unit tests: no display, 16-bit colour,
// a memory bitmap standing in for the screen.
#include <allegro.h>
#include <gtest/gtest.h>

#include "app/main_loop.h"

namespace {
class AllegroEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
        set_color_depth(16);
        screen = create_bitmap(640, 480);
        back_buffer = create_bitmap(640, 480);
        ASSERT_NE(screen, nullptr);
        ASSERT_NE(back_buffer, nullptr);
    }
};
}  // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new AllegroEnvironment);
    return RUN_ALL_TESTS();
}
