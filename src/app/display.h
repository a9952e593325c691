// The screen: the graphics mode, the bitmap every frame is drawn into, and
// the frame's way to the monitor. The game covers the monitor it starts on
// at that monitor's own resolution, as a window made full screen through
// the desktop, never by changing the monitor's mode: the 640x480 picture is
// scaled up into it, sharp, and the pointer is read back in the picture's
// pixels. What is written once is here and in display.cpp; each system's
// side is behind the calls at the end, in display_posix.cpp (X11) and
// display_windows.cpp.
#pragma once

#include <allegro.h>

// The picture's size: every screen draws 640x480 pixels.
constexpr int PICTURE_WIDTH = 640;
constexpr int PICTURE_HEIGHT = 480;

// Off-screen bitmap of the picture's size: every frame is drawn into it and
// then shown with present_frame.
extern BITMAP *back_buffer;

// Sets the 640x480 graphics mode at the colour depth already chosen. A
// driver named in the player's allegro.cfg or ~/.allegrorc (gfx_card,
// gfx_cardw and their variants) gets the library's own mode, exactly as the
// library sets it; otherwise the game's window is made full screen on its
// monitor and the picture scaled into it. Returns 0, or the library's
// failure (allegro_error says why).
int start_display();

// Shows back_buffer: the last step of every frame of every screen. Each
// press of F11 or Alt+Enter since the last frame, however short, switches
// between full screen and a window; a signal or the window's close button
// that asked the game to end is acted on here.
void present_frame();

// ---- Written once, for the platform files ----

// Where the picture lies in the window, in the window's pixels.
struct PictureRect {
    int x, y, w, h;
};

// The picture's place in a window of `width` x `height` pixels: the largest
// whole multiple of 640x480 that fits, centred; where that would fill less
// than three quarters of the height (1366x768), the largest 4:3 rectangle
// that fits instead, centred. Never distorted.
PictureRect fit_picture(int width, int height);

// The largest whole multiple of 640x480 that fits in `width` x `height`,
// and never less than 1: the size of the game's window.
int window_factor(int width, int height);

// The picture's place in the window from now on. Read on the library's
// input thread by window_to_picture.
void note_picture_place(PictureRect where);

// A point of the window, in the window's pixels, as a point of the picture:
// the picture pixel under it, or a point beyond the picture's edges when it
// lies on the black around it.
void window_to_picture(int *x, int *y);

// ---- What each system does, in its platform file ----

// Just before the library's windowed mode is set: notes what
// open_scaled_display needs to know of the desktop as the player left it,
// and returns the library's windowed driver whose 640x480 window
// open_scaled_display then makes the game's own.
int prepare_scaled_display();

// Once the library's 640x480 window is up: makes it the game's own, full
// screen on the monitor the game starts on (the one holding the pointer,
// else the primary one), with the pointer mapped through
// window_to_picture. False when this system cannot: the library's window
// then stays as it is and the picture is copied to `screen` unscaled.
bool open_scaled_display();

// Shows `picture` (640x480) in the window at fit_picture of the window's
// current size, each picture pixel a sharp block, the rest black; follows
// every change of the window's or the monitor's size.
void present_scaled(BITMAP *picture);

// Between full screen on the monitor and a window of window_factor of the
// desktop's work area, centred; the game goes on undisturbed.
void switch_full_screen();
