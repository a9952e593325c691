// Does the game keep its speed? Runs the real main loop with the real timers
// for a few seconds of play, with the field full of standing snakes (they are
// examined in every tick all the same), at level 0 and at level 5, and reads
// "VITESSE" (the game ticks run in the last whole second) once a second.
// Every reading must be the tick rate, give or take one.
//
// Run under a display:  xvfb-run -a build-bench/bench/bench_timing [seconds]
#include <allegro.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/main_loop.h"
#include "bench_game.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "screens/options.h"

namespace {
using Clock = std::chrono::steady_clock;

struct Outcome {
    uint32_t mode;
    int32_t level_reached;
    int32_t rate;
    std::vector<int32_t> readings;
    double longest_pass_ms;
    double busy_share;  // of the wall time, spent in passes that ran game ticks and drew
    bool alive;
};

double ms_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

Outcome play_for(uint32_t mode, bool level5, int seconds) {
    clear_game_state();
    enter_play(mode);
    lay_snakes(mode, full_length(mode));
    // Standing: no step, so the snakes stay as laid and alive.
    p1_direction = 0;
    p2_direction = 0;
    // 500 points make the first game tick set level 5 and 70 ticks a second.
    p1_score = level5 ? 500 : 0;
    apple_needed = 0;

    // As start-up does it; the second timer starts with the play.
    remove_int(count_second);
    remove_int(count_tick);
    tick_counter = 0;
    ticks_this_second = 0;
    ticks_last_second = 0;
    const Clock::time_point start = Clock::now();
    install_int_ex(count_second, BPS_TO_TIMER(1));

    Outcome out{mode, 0, 0, {}, 0.0, 0.0, true};
    // "VITESSE" is read by a second thread in the middle of each second, from
    // the third on (the first holds the change of rate at level 5), because a
    // game that falls behind never leaves the pass that runs its ticks. At the
    // end that thread takes the pending ticks away, so the pass returns.
    std::atomic<bool> time_up{false};
    std::atomic<bool> loop_left{false};
    std::thread reader([&] {
        for (int k = 2; k < seconds; k++) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(k * 1000 + 500));
            out.readings.push_back(ticks_last_second.load());
        }
        std::this_thread::sleep_until(start + std::chrono::seconds(seconds));
        time_up = true;
        while (!loop_left) {
            tick_counter = 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    double busy_ms = 0.0;
    while (!time_up) {
        const Clock::time_point t0 = Clock::now();
        const int32_t counted = ticks_this_second.load();
        main_loop_pass();
        const double pass_ms = ms_between(t0, Clock::now());
        out.longest_pass_ms = std::max(out.longest_pass_ms, pass_ms);
        // A pass that ran game ticks changed the count (so does the second
        // timer clearing it); one that never ends is caught by its length,
        // since a pass without a tick takes some microseconds.
        if (ticks_this_second.load() != counted || pass_ms > 1.0) busy_ms += pass_ms;
        if (!still_playing()) out.alive = false;
    }
    loop_left = true;
    reader.join();
    out.busy_share = busy_ms / ms_between(start, Clock::now());
    out.level_reached = level;
    out.rate = tick_rate;
    remove_int(count_tick);
    remove_int(count_second);
    return out;
}

bool near_rate(double value, int32_t rate) { return value >= rate - 1 && value <= rate + 1; }

bool holds(const Outcome &o) {
    if (!o.alive || o.readings.empty()) return false;
    for (int32_t r : o.readings)
        if (!near_rate(r, o.rate)) return false;
    return true;
}

double mean_of(const std::vector<int32_t> &v) {
    double sum = 0;
    for (int32_t r : v) sum += r;
    return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
}

void print_load() {
    FILE *f = std::fopen("/proc/loadavg", "r");
    double one = 0;
    if (f && std::fscanf(f, "%lf", &one) == 1)
        std::printf("Load average over the last minute: %.2f (a busy machine delays the timer thread)\n", one);
    if (f) std::fclose(f);
}
}  // namespace

int main(int argc, char **argv) {
    const int seconds = argc > 1 ? std::max(4, std::atoi(argv[1])) : 7;
    if (!start_bench_library(argv[0])) return 1;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    std::printf("Real main loop, real timers, %d s of play per row; standing snakes filling the field.\n",
                seconds);
    print_load();
    std::printf("%-5s %-6s %-9s %-10s %-30s %-6s %-16s %-7s %s\n", "mode", "level", "segments",
                "tick_rate", "VITESSE, second by second", "mean", "longest pass ms", "busy",
                "result");
    bool all_hold = true;
    for (uint32_t mode : {static_cast<uint32_t>(MODE_ONE_PLAYER), static_cast<uint32_t>(MODE_TWO_PLAYERS)}) {
        for (bool level5 : {false, true}) {
            const Outcome o = play_for(mode, level5, seconds);
            const uint32_t segments = player1.length + (mode == MODE_ONE_PLAYER ? 0 : player2.length);
            char readings[128] = "";
            int used = 0;
            for (int32_t r : o.readings)
                used += std::snprintf(readings + used, sizeof readings - static_cast<size_t>(used),
                                      "%s%d", used ? " " : "", r);
            const bool ok = holds(o);
            all_hold = all_hold && ok;
            const double mean = mean_of(o.readings);
            const char *result = ok                           ? "held"
                                 : !o.alive                   ? "NOT HELD (a snake died)"
                                 : near_rate(mean, o.rate) ? "NOT HELD (the mean is within one)"
                                                              : "NOT HELD";
            std::printf("%-5u %-6d %-9u %-10d %-30s %-6.1f %-16.2f %5.1f%%  %s\n", mode,
                        o.level_reached, segments, o.rate, readings, mean, o.longest_pass_ms,
                        100.0 * o.busy_share, result);
        }
    }
    return all_hold ? 0 : 1;
}
