// Where the one apple on the field lies, and which picture it shows.
#pragma once

#include <cstdint>

extern uint32_t apple_x;
extern uint32_t apple_y;
extern int32_t apple_sprite;  // 0..5, the datafile entry of its picture
extern uint32_t prev_apple_x;
extern uint32_t prev_apple_y;
extern uint8_t apple_needed;

// Chooses the next apple's picture and position.
void place_apple();
