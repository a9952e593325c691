// The costs that decide whether the game keeps its speed: one timer tick of
// play in each mode, an apple placed on a nearly full field, one play frame,
// and one pass of the main loop on the menu with no tick pending. Every case
// runs at a short, a medium and the longest length the field holds.
//
// Run under a display (the main loop's timer needs the library's X driver):
//     xvfb-run -a build-bench/bench/snake_bench
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "bench_game.h"
#include "rules/apple.h"
#include "rules/collide.h"
#include "rules/computer.h"
#include "rules/snake.h"
#include "rules/tick.h"
#include "screens/options.h"
#include "screens/play.h"

namespace {
void note_lengths(benchmark::State &state, uint32_t mode) {
    state.counters["segments"] = player1.length + (mode == MODE_ONE_PLAYER ? 0 : player2.length);
}

// One timer tick of play, as the main loop runs it: the snakes turned at
// each corner of the ring as players would turn them, so they move on
// without ever dying, eating or growing.
void tick_of_play(benchmark::State &state) {
    const uint32_t mode = static_cast<uint32_t>(state.range(0));
    const uint32_t length = static_cast<uint32_t>(state.range(1));
    clear_game_state();
    enter_play(mode);
    lay_snakes(mode, length);
    note_lengths(state, mode);
    for (auto _ : state) {
        follow_ring(mode);
        run_tick_player1();
        if (mode == MODE_TWO_PLAYERS) {
            follow_ring(mode);
            run_tick_player2();
        }
        if (mode == MODE_VS_COMPUTER) steer_computer();
    }
    if (!still_playing() || player1.length != length ||
        (mode != MODE_ONE_PLAYER && player2.length != length))
        state.SkipWithError("a snake died or grew: the layout is wrong");
}

// An apple placed with the snakes on the field. At the whole-field length
// they cover all but a cell or two: every random candidate is refused and
// the scan has to look everywhere.
void apple_on_full_field(benchmark::State &state) {
    const uint32_t mode = static_cast<uint32_t>(state.range(0));
    const uint32_t length = static_cast<uint32_t>(state.range(1));
    clear_game_state();
    enter_play(mode);
    lay_snakes(mode, length);
    note_lengths(state, mode);
    std::srand(1);
    for (auto _ : state) {
        place_apple();
        benchmark::DoNotOptimize(apple_x);
    }
}

// One play frame: the buffer cleared, each snake in play drawn with the
// border, status rows and apple, the buffer copied to the (memory) screen.
void play_frame(benchmark::State &state) {
    const uint32_t mode = static_cast<uint32_t>(state.range(0));
    const uint32_t length = static_cast<uint32_t>(state.range(1));
    clear_game_state();
    enter_play(mode);
    lay_snakes(mode, length);
    note_lengths(state, mode);
    apple_x = 300;
    apple_y = 200;
    apple_sprite = 3;
    p1_score = 1230;
    p2_score = 560;
    level = 5;
    ticks_last_second = 70;
    for (auto _ : state) {
        draw_play_frame();
        benchmark::ClobberMemory();
    }
}

// One pass of the main loop on the menu when no tick is pending: the tick
// timer re-installed, the record file read, and an apple placed when one
// is needed (on every pass from a reset until the first game tick).
void menu_pass(benchmark::State &state) {
    const uint32_t length = static_cast<uint32_t>(state.range(0));
    clear_game_state();
    lay_snakes(MODE_ONE_PLAYER, length);
    apple_needed = static_cast<uint8_t>(state.range(1));
    std::srand(1);
    for (auto _ : state) {
        tick_counter = 0;
        main_loop_pass();
    }
    remove_int(count_tick);
    if (menu_active != 1) state.SkipWithError("the menu is no longer current");
}

void lengths_of_modes(benchmark::internal::Benchmark *b) {
    b->ArgNames({"mode", "length"});
    for (uint32_t mode = MODE_ONE_PLAYER; mode <= MODE_VS_COMPUTER; mode++) {
        const uint32_t full = full_length(mode);
        // Short, a quarter of the field, and the whole field.
        for (uint32_t length : {16u, full / 4, full}) b->Args({mode, length});
    }
}

void lengths_on_menu(benchmark::internal::Benchmark *b) {
    b->ArgNames({"length", "apple_needed"});
    const uint32_t full = full_length(MODE_ONE_PLAYER);
    for (int needed : {0, 1})
        for (uint32_t length : {16u, full / 4, full}) b->Args({length, needed});
}
}  // namespace

BENCHMARK(tick_of_play)->Apply(lengths_of_modes)->Unit(benchmark::kMicrosecond);
BENCHMARK(apple_on_full_field)->Apply(lengths_of_modes)->Unit(benchmark::kMicrosecond);
BENCHMARK(play_frame)->Apply(lengths_of_modes)->Unit(benchmark::kMicrosecond);
BENCHMARK(menu_pass)->Apply(lengths_on_menu)->Unit(benchmark::kMicrosecond);

namespace {
// At level 5 the tick timer runs 70 times a second.
constexpr double LEVEL5_BUDGET_US = 1e6 / 70.0;
constexpr double TICK_MODE2_TARGET_US = LEVEL5_BUDGET_US / 100.0;
constexpr double PLACE_APPLE_TARGET_US = 50.0;
constexpr double FRAME_TARGET_US = 2000.0;

// The console output, followed by the worst cases set against their targets
// and the level-5 budget, and the growth of a tick from medium to full length.
class TargetReporter : public benchmark::ConsoleReporter {
    struct Times {
        double real_us;
        double cpu_us;
    };

public:
    bool missed() const { return missed_; }

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            if (r.error_occurred) continue;
            const double to_us = 1e6 / benchmark::GetTimeUnitMultiplier(r.time_unit);
            const Times t{r.GetAdjustedRealTime() * to_us, r.GetAdjustedCPUTime() * to_us};
            if (r.run_type == Run::RT_Aggregate) {
                if (r.aggregate_name == "median") medians_[r.run_name.str()] = t;
            } else {
                lasts_[r.run_name.str()] = t;
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nWorst cases against the targets (per call, %s; the level-5 tick budget is 1/70 s = %.1f us;\n"
                    "targets are judged on real time, which a busy machine inflates; CPU time is this thread's alone)\n",
                    medians_.empty() ? "single run" : "median of the repetitions", LEVEL5_BUDGET_US);
        std::printf("%-44s %10s %10s %12s %12s  %s\n", "case", "real us", "CPU us", "of budget", "target us",
                    "result");
        for (uint32_t mode = MODE_ONE_PLAYER; mode <= MODE_VS_COMPUTER; mode++)
            line("tick_of_play", mode, full_length(mode), mode == MODE_TWO_PLAYERS ? TICK_MODE2_TARGET_US : 0);
        for (uint32_t mode = MODE_ONE_PLAYER; mode <= MODE_VS_COMPUTER; mode++)
            line("apple_on_full_field", mode, full_length(mode), PLACE_APPLE_TARGET_US);
        for (uint32_t mode = MODE_ONE_PLAYER; mode <= MODE_VS_COMPUTER; mode++)
            line("play_frame", mode, full_length(mode), FRAME_TARGET_US);
        for (int needed : {0, 1}) {
            const std::string name = "menu_pass/length:" + std::to_string(full_length(MODE_ONE_PLAYER)) +
                                     "/apple_needed:" + std::to_string(needed);
            show(name, times_of(name), 0);
        }
        std::printf("\nGrowth of a tick's CPU time from a quarter of the field to the whole field\n");
        for (uint32_t mode = MODE_ONE_PLAYER; mode <= MODE_VS_COMPUTER; mode++) {
            const uint32_t full = full_length(mode), quarter = full / 4;
            const double t_full = times_of(case_name("tick_of_play", mode, full)).cpu_us;
            const double t_quarter = times_of(case_name("tick_of_play", mode, quarter)).cpu_us;
            if (t_full < 0 || t_quarter < 0) continue;
            const double length_ratio = static_cast<double>(full) / quarter;
            const double time_ratio = t_full / t_quarter;
            // A little room for noise over an exact proportion.
            const bool linear = time_ratio <= length_ratio * 1.25;
            missed_ = missed_ || !linear;
            std::printf("mode %u: length x%.2f, time x%.2f: %s\n", mode, length_ratio, time_ratio,
                        linear ? "at most linear" : "FASTER THAN LINEAR");
        }
    }

private:
    static std::string case_name(const char *what, uint32_t mode, uint32_t length) {
        return std::string(what) + "/mode:" + std::to_string(mode) + "/length:" + std::to_string(length);
    }

    Times times_of(const std::string &name) const {
        const auto m = medians_.find(name);
        if (m != medians_.end()) return m->second;
        const auto l = lasts_.find(name);
        return l != lasts_.end() ? l->second : Times{-1.0, -1.0};
    }

    void line(const char *what, uint32_t mode, uint32_t length, double target_us) {
        const std::string name = case_name(what, mode, length);
        show(name, times_of(name), target_us);
    }

    void show(const std::string &name, Times t, double target_us) {
        if (t.real_us < 0) {
            std::printf("%-44s %10s\n", name.c_str(), "not run");
            return;
        }
        const bool met = target_us <= 0 || t.real_us <= target_us;
        missed_ = missed_ || !met;
        char target[32] = "-";
        if (target_us > 0) std::snprintf(target, sizeof target, "<= %.0f", target_us);
        std::printf("%-44s %10.2f %10.2f %11.3f%% %12s  %s\n", name.c_str(), t.real_us, t.cpu_us,
                    100.0 * t.real_us / LEVEL5_BUDGET_US, target,
                    target_us <= 0 ? "" : met ? "met" : "MISSED");
    }

    std::map<std::string, Times> medians_;
    std::map<std::string, Times> lasts_;
    bool missed_ = false;
};
}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!start_bench_library(argv[0])) return 1;
    TargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // A missed target shows in the exit status too.
    return reporter.missed() ? 2 : 0;
}
