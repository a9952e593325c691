// Start-up, the two timers and the main loop.
#pragma once

#include <allegro.h>

#include <atomic>
#include <cstdint>

// Ticks counted by the tick timer and not yet used up by the main loop.
extern std::atomic<int32_t> tick_counter;
// Game ticks run since the last call of count_second.
extern std::atomic<int32_t> ticks_this_second;
// Game ticks run in the last whole second, shown as "VITESSE".
extern std::atomic<int32_t> ticks_last_second;

// The three screen flags: 1,0,0 menu; 0,0,1 options; 0,1,0 play;
// 0,0,0 only inside a game tick, while the end-of-game screen runs.
extern int32_t menu_active;
extern int32_t game_active;
extern int32_t options_active;

// Set whenever a tick is used up, cleared whenever a frame is drawn.
extern int frame_due;

// Off-screen bitmap every frame is drawn into before it is copied to the screen.
extern BITMAP *back_buffer;
// The loaded "snake.dat".
extern DATAFILE *game_data;

// Timer callbacks, run on the library's timer thread.
void count_tick();    // tick_rate times a second
void count_second();  // once a second

// Starts the library, the graphics mode, the timers and the global state,
// and makes the main menu current. Returns 0 when the game can run, or the
// exit status to end with after a failure has been reported.
int start_up();

// One pass of the never-ending main loop.
void main_loop_pass();

// Copies the whole of back_buffer to the screen: the last step of every
// frame. A signal that asked the game to end is acted on here.
void present_frame();
