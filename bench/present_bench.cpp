// The cost of showing one frame: the library's own copy of the 640x480
// picture into its window, as every frame was shown before the game scaled
// it, against the game's scaled present on a full-screen window of 1080p
// and of 2160p. Each frame is counted until the X server has drawn it
// (XSync); "game thread" counts only what present_frame takes, the server
// having finished the frame before. Run on one X screen as large as the
// largest case, with no window manager (scripts/bench.sh does):
//   xvfb-run -a -s "-screen 0 3840x2160x24" build-bench/bench/present_bench
#include <allegro.h>
#include <benchmark/benchmark.h>
// After the library: Xlib's macros would clash with its names.
#include <xalleg.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "app/display.h"

namespace {

// A picture with every pixel different from its neighbours.
void fill_picture() {
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++)
            putpixel(back_buffer, x, y, makecol((x * 7) & 255, (y * 5) & 255, (x ^ y) & 255));
}

// The game's window made `w` x `h`, as a window manager or the monitor would,
// and a few frames shown for the game to follow it.
void size_window(int w, int h) {
    XLOCK();
    XResizeWindow(_xwin.display, _xwin.wm_window, static_cast<unsigned>(w),
                  static_cast<unsigned>(h));
    XSync(_xwin.display, False);
    XUNLOCK();
    for (int i = 0; i < 5; i++) {
        present_frame();
        vsync();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void library_copy(benchmark::State &state) {
    for (auto _ : state) {
        blit(back_buffer, screen, 0, 0, 0, 0, PICTURE_WIDTH, PICTURE_HEIGHT);
        vsync();
    }
}

void scaled_present(benchmark::State &state) {
    size_window(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        present_frame();
        vsync();
    }
}

void scaled_present_game_thread(benchmark::State &state) {
    size_window(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        present_frame();
        state.PauseTiming();
        vsync();
        state.ResumeTiming();
    }
}

void sizes(benchmark::internal::Benchmark *b) {
    b->Args({1920, 1080})->Args({3840, 2160})->ArgNames({"w", "h"});
}

BENCHMARK(library_copy)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(scaled_present)->Apply(sizes)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(scaled_present_game_thread)->Apply(sizes)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A level-5 tick lasts 1/70 s; the targets leave most of it to the game.
struct Target {
    const char *name;
    double most_us;
    double most_times;  // of the library's copy; 0: none
};
const Target TARGETS[] = {
    {"scaled_present/w:1920/h:1080/real_time", 3000, 7},
    {"scaled_present/w:3840/h:2160/real_time", 8000, 18},
    {"scaled_present_game_thread/w:1920/h:1080/real_time", 2000, 0},
    {"scaled_present_game_thread/w:3840/h:2160/real_time", 2000, 0},
};

// The console output, then each case against the library's copy and its target.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    bool missed() const { return missed_; }

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            if (r.error_occurred) continue;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            const double to_us = 1e6 / benchmark::GetTimeUnitMultiplier(r.time_unit);
            std::string name = r.run_name.str();
            times_[name] = r.GetAdjustedRealTime() * to_us;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto copy = times_.find("library_copy/real_time");
        if (copy == times_.end()) return;
        std::printf("\nEach frame against the library's 640x480 copy (%.0f us) and its target\n",
                    copy->second);
        std::printf("%-52s %10s %8s %14s  %s\n", "case", "us", "times", "target", "result");
        for (const Target &t : TARGETS) {
            const auto found = times_.find(t.name);
            if (found == times_.end()) continue;
            const double times = found->second / copy->second;
            const bool met = found->second <= t.most_us && (t.most_times <= 0 || times <= t.most_times);
            missed_ = missed_ || !met;
            char target[32];
            if (t.most_times > 0)
                std::snprintf(target, sizeof target, "%.0f us, %.0fx", t.most_us, t.most_times);
            else
                std::snprintf(target, sizeof target, "%.0f us", t.most_us);
            std::printf("%-52s %10.0f %7.1fx %14s  %s\n", t.name, found->second, times, target,
                        met ? "met" : "MISSED");
        }
    }

private:
    std::map<std::string, double> times_;
    bool missed_ = false;
};

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0 || !system_driver ||
        system_driver->id == SYSTEM_NONE) {
        std::fprintf(stderr, "run under a display: xvfb-run -a -s \"-screen 0 3840x2160x24\" %s\n",
                     argv[0]);
        return 1;
    }
    set_color_depth(16);
    if (start_display() != 0 || !(back_buffer = create_bitmap(PICTURE_WIDTH, PICTURE_HEIGHT))) {
        std::fprintf(stderr, "no graphics mode: %s\n", allegro_error);
        return 1;
    }
    fill_picture();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.missed() ? 2 : 0;
}
