#!/usr/bin/env bash
# Builds the game and runs every test: the unit suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the timer thread under
# ThreadSanitizer, a bounded fuzzing run, the Debian package (lintian,
# autopkgtest), the Windows build's tests under Wine, a second build of the
# package, the zip and the installer that must give the same bytes, and last
# the main build's unit, display, end-to-end and package tests, whose summary
# closes the output.
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

echo "== the Debian package"
# Built from the committed tree under build/package; lintian may only say
# that a first upload closes no bug; autopkgtest runs debian/tests on this
# machine against the .deb (installing it, as apt would).
"$root/scripts/package.sh"
package="$root/build/package"
report="$(lintian --pedantic -I --color never "$package"/*.changes 2>&1 | grep -v 'running with root privileges' || true)"
echo "$report"
if grep -vE '^[A-Z]: snake-game: initial-upload-closes-no-bugs( |$)' <<<"$report" | grep -q .; then
  echo "lintian: tags other than initial-upload-closes-no-bugs" >&2
  exit 1
fi
rm -rf "$root/build/autopkgtest"
autopkgtest --output-dir "$root/build/autopkgtest" "$package"/snake-game-*/ "$package"/snake-game_*.deb -- null

echo "== Windows build under Wine"
# The game cross-built for Windows, its zip and installer, the unit tests
# and the real snake.exe end to end, all under Wine; snake.dat and the
# end-to-end tests come from the main build.
"$root/scripts/windows.sh" --test --native-build "$root/build"

echo "== the same bytes from a second build"
# The package, the zip and the installer built again, later and in other
# folders, are the same files; diffoscope shows what differs.
"$root/scripts/package.sh" build/package-again >/dev/null
"$root/scripts/windows.sh" --native-build "$root/build" --out "$root/build-windows/again" >/dev/null
different=0
for first in "$package"/*.deb "$root"/build-windows/snake-*.{zip,exe}; do
  second="$(sed 's|/build/package/|/build/package-again/|; s|/build-windows/|/build-windows/again/|' <<<"$first")"
  cmp -s "$first" "$second" && echo "the same: ${first##*/}" && continue
  { diffoscope "$first" "$second" 2>&1 || cmp "$first" "$second"; } | head -n 100 >&2 || true
  different=1
done
[ "$different" = 0 ]

echo "== all tests of the main build"
cd "$root/build"
ctest --output-on-failure -j"$jobs"
