#!/usr/bin/env bash
# Builds the game and runs every test: the unit suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the timer thread under
# ThreadSanitizer, a bounded fuzzing run, the Windows build's tests under
# Wine, and last the main build's unit, display and end-to-end tests, whose
# summary closes the output.
#
# SNAKE_FUZZ_SECONDS sets the fuzzing time per target (default 30).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
"$root/scripts/deps.sh"

cmake --preset default -S "$root" >/dev/null
cmake --build "$root/build" -j"$jobs"

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitizers -S "$root" >/dev/null
cmake --build "$root/build-asan" -j"$jobs" --target unit_tests
# Any finding ends the run with an error; leaks count as findings too.
ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  "$root/build-asan/tests/unit_tests" --gtest_brief=1

echo "== the timer thread under ThreadSanitizer"
cmake --preset tsan -S "$root" >/dev/null
cmake --build "$root/build-tsan" -j"$jobs" --target timer_race_test
(cd "$root/build-tsan" && ctest -L tsan --output-on-failure)

echo "== fuzzing"
"$root/scripts/fuzz.sh" "${SNAKE_FUZZ_SECONDS:-30}"

echo "== Windows build under Wine"
# The game cross-built for Windows, its zip and installer, the unit tests
# and the real snake.exe end to end, all under Wine; snake.dat and the
# end-to-end tests come from the main build.
"$root/scripts/windows.sh" --test --native-build "$root/build"

echo "== all tests of the main build"
cd "$root/build"
ctest --output-on-failure -j"$jobs"
