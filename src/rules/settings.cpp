#include "rules/settings.h"

uint32_t game_mode = MODE_ONE_PLAYER;
uint32_t step_divisor = 1;
uint32_t colour_index = 1;
int32_t snake_red = 0;
int32_t snake_green = 255;
int32_t snake_blue = 0;
uint32_t pulse_level = 0;
int32_t pulse_rising = 1;
