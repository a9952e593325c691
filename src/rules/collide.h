// Eating, collisions and the end of a game.
#pragma once

#include <cstdint>

#include "rules/snake.h"

extern uint32_t p1_score;
extern uint32_t p2_score;
// 1 when the last one-player game beat the record.
extern int32_t new_record_flag;

// Examines one snake: the apple, then its own body and the border, then
// (two snakes in play) the two snakes against each other.
void check_snake(Snake &snake);
// Ends the game when a drawn segment of one snake lies on a drawn segment of
// the other; its cost grows with the sum of the lengths, not their product.
void check_snakes_cross();
