// What the main loop and the screens share: which screen is current, and
// the ticks the timer counts for them.
#pragma once

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

// Timer callbacks, run on the library's timer thread.
void count_tick();    // tick_rate times a second
void count_second();  // once a second
