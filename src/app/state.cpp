#include "app/state.h"

std::atomic<int32_t> tick_counter{0};
std::atomic<int32_t> ticks_this_second{0};
std::atomic<int32_t> ticks_last_second{0};

int32_t menu_active = 0;
int32_t game_active = 0;
int32_t options_active = 0;

void count_tick() { tick_counter.fetch_add(1); }

void count_second() { ticks_last_second.store(ticks_this_second.exchange(0)); }
