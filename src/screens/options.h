// The options screen and the settings it changes.
#pragma once

#include <cstdint>

#include "rules/settings.h"

extern int32_t sound_enabled;

// Waits 120 ms, draws and shows one frame, acts on the mouse and ESC.
void draw_options();
