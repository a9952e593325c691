// The display on X11. Not yet the game's own: the library's window
// stays as it is and the picture is copied to it unscaled.
#include "app/display.h"

int scaled_display_driver() { return GFX_AUTODETECT_WINDOWED; }

bool open_scaled_display() { return false; }

void present_scaled(BITMAP *picture) {
    blit(picture, screen, 0, 0, 0, 0, PICTURE_WIDTH, PICTURE_HEIGHT);
}

void switch_full_screen() {}
