#!/usr/bin/env bash
# Builds the benchmarks with optimisation in ./build-bench and runs them on a
# virtual X server (the library's timer needs its X driver): first the suite,
# each case the median of five runs and the worst cases set against their
# targets; then the real main loop with the real timers at level 0 and 5;
# then the present of one frame, scaled to 1080p and 2160p, against the
# library's own 640x480 copy.
# Extra arguments go to the suite, e.g. --benchmark_filter=tick_of_play.
# Exits non-zero when a target is missed or the game does not keep its speed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
cmake --preset benchmarks -S "$root" >/dev/null
cmake --build "$root/build-bench" --target snake_bench bench_timing present_bench -j"$(nproc)"

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'); load average $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
xvfb-run -a "$root/build-bench/bench/snake_bench" --benchmark_repetitions=5 \
  --benchmark_display_aggregates_only=true "$@" || status=$?
echo
xvfb-run -a "$root/build-bench/bench/bench_timing" || status=$?
echo
# One screen as large as the largest case, no window manager: the game's
# window is made each size in turn.
xvfb-run -a -s "-screen 0 3840x2160x24" "$root/build-bench/bench/present_bench" \
  --benchmark_repetitions=5 --benchmark_display_aggregates_only=true || status=$?
exit "$status"
