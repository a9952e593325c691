// Start-up and the never-ending main loop, which hands the timer's ticks to
// the current screen.
#pragma once

#include <allegro.h>

#include "app/datafile.h"
#include "app/display.h"
#include "app/state.h"

// Set whenever a tick is used up, cleared whenever a frame is drawn.
extern int frame_due;

// Starts the library, the graphics mode, the timers and the global state,
// and makes the main menu current. Returns 0 when the game can run, or the
// exit status to end with after a failure has been reported.
int start_up();

// One pass of the never-ending main loop.
void main_loop_pass();
