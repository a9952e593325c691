#include "rules/collide.h"

#include "record/record.h"
#include "rules/apple.h"
#include "screens/gameover.h"
#include "screens/options.h"

uint32_t p1_score = 0;
uint32_t p2_score = 0;
int32_t new_record_flag = 0;

static bool two_snakes_in_play() {
    return game_mode == MODE_TWO_PLAYERS || game_mode == MODE_VS_COMPUTER;
}

static bool head_reaches_apple(const Snake &snake) {
    return snake.head_x >= apple_x - 8u && snake.head_x <= apple_x + 8u &&
           snake.head_y >= apple_y - 8u && snake.head_y <= apple_y + 8u;
}

static bool head_outside_field(const Snake &snake) {
    return snake.head_x <= 48 || snake.head_x >= 600 || snake.head_y <= 48 ||
           snake.head_y >= 430;
}

// A death on the border or on a snake's own body.
static void end_game() {
    load_record();
    if (game_mode == MODE_ONE_PLAYER) {
        if (p1_score > record) {
            new_record_flag = 1;
            save_record();
        } else {
            new_record_flag = 0;
        }
    }
    if (two_snakes_in_play()) reset_snake(player2);
    reset_snake(player1);
    run_game_over();
}

void check_snake(Snake &snake) {
    if (head_reaches_apple(snake)) {
        // A full snake stops growing (the slot past its tail must stay
        // inside the arrays) but still scores.
        if (snake.length < SNAKE_CAPACITY - 1) snake.length++;
        if (&snake == &player1)
            p1_score += 10;
        else
            p2_score += 10;
        place_apple();
    }

    // The head is compared with entries 1 to length, the slot just past the
    // tail included: a head entering the cell its tail just left dies. The
    // length is read afresh each time, so a reset ends the loop.
    for (uint32_t i = 0; i < snake.length; i++) {
        if (snake.x[0] == snake.x[i + 1] && snake.y[0] == snake.y[i + 1])
            end_game();
        else if (head_outside_field(snake))
            end_game();
    }

    if (two_snakes_in_play()) check_snakes_cross();
}

void check_snakes_cross() {
    for (uint32_t j = 0; j < player2.length; j++) {
        for (uint32_t i = 0; i < player1.length; i++) {
            if (player1.x[i] == player2.x[j] && player1.y[i] == player2.y[j]) {
                // No record comparison when the snakes meet.
                reset_snake(player2);
                reset_snake(player1);
                run_game_over();
            }
        }
    }
}
