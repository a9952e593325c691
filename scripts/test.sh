#!/usr/bin/env bash
# Builds the game and runs every test: the unit suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the timer thread under
# ThreadSanitizer, a bounded fuzzing run, the Debian package (lintian,
# autopkgtest), the Windows build's tests under Wine, a second build of the
# package, the zip and the installer that must give the same bytes, and last
# the main build's unit, display, end-to-end and package tests, whose summary
# closes the output.
#
# After the main build, lanes run side by side. In front, the Windows build
# and its tests under Wine, then the main build's tests, which drive the
# real games. Beside them, at a lower priority so as not to slow those
# games, the steps that compute: the package, the sanitizer builds,
# fuzzing, lintian, the second builds; and once the package is built,
# autopkgtest. Their output (build/test-logs/) is shown when they are done.
#
# The main, sanitizer and fuzzing builds and the first Windows build compile
# through ccache, whose cache in the user's home serves every clone on the
# machine (paths under the clone are made relative, which changes only the
# debug information). The package, whose debug symbols are compared, and
# the second build of the zip and the installer never do: the second builds
# really compile everything again.
#
# SNAKE_FUZZ_SECONDS sets the fuzzing time per target (scripts/fuzz.sh has
# the default).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
"$root/scripts/deps.sh"

# Named outright: debhelper gives the package build a home of its own.
CCACHE_DIR="${CCACHE_DIR:-$(ccache -k cache_dir)}"
export CCACHE_DIR CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
cached=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake --preset default -S "$root" "${cached[@]}" >/dev/null
cmake --build "$root/build" -j"$jobs"

logs="$root/build/test-logs"
package="$root/build/package"
rm -rf "$logs"
mkdir -p "$logs"
# Waits until the other lane has passed a step; false when it has ended
# without passing it.
wait_for() {
  while [ ! -e "$logs/$1" ]; do
    kill -0 "$2" 2>/dev/null || [ -e "$logs/$1" ] || return 1
    sleep 1
  done
}

beside() {
  echo "== the Debian package"
  # Built from the committed tree under build/package; lintian may only say
  # that a first upload closes no bug; autopkgtest (a lane of its own, below)
  # runs debian/tests on this machine against the .deb, installing it as apt
  # would.
  "$root/scripts/package.sh"
  touch "$logs/package.done"

  echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake --preset sanitizers -S "$root" "${cached[@]}" >/dev/null
  cmake --build "$root/build-asan" -j"$jobs" --target unit_tests
  # Any finding ends the run with an error; leaks count as findings too.
  ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$root/build-asan/tests/unit_tests" --gtest_brief=1

  echo "== the timer thread under ThreadSanitizer"
  cmake --preset tsan -S "$root" "${cached[@]}" >/dev/null
  cmake --build "$root/build-tsan" -j"$jobs" --target timer_race_test
  (cd "$root/build-tsan" && ctest -L tsan --output-on-failure)

  echo "== fuzzing"
  CMAKE_CXX_COMPILER_LAUNCHER=ccache "$root/scripts/fuzz.sh"

  echo "== lintian"
  report="$(lintian --pedantic -I --color never "$package"/*.changes 2>&1 | grep -v 'running with root privileges' || true)"
  echo "$report"
  if grep -vE '^[A-Z]: snake-game: initial-upload-closes-no-bugs( |$)' <<<"$report" | grep -q .; then
    echo "lintian: tags other than initial-upload-closes-no-bugs" >&2
    exit 1
  fi

  echo "== the same bytes from a second build"
  # The package, the zip and the installer built again, later, in other
  # folders and without ccache, are the same files; diffoscope shows what
  # differs. (A package built through ccache would differ: its debug
  # symbols would name the sources by relative paths.)
  "$root/scripts/package.sh" build/package-again >/dev/null
  wait_for windows.done $$
  "$root/scripts/windows.sh" --native-build "$root/build" --out "$root/build-windows/again" >/dev/null
  different=0
  for first in "$package"/*.deb "$root"/build-windows/snake-*.{zip,exe}; do
    second="$(sed 's|/build/package/|/build/package-again/|; s|/build-windows/|/build-windows/again/|' <<<"$first")"
    cmp -s "$first" "$second" && echo "the same: ${first##*/}" && continue
    { diffoscope "$first" "$second" 2>&1 || cmp "$first" "$second"; } | head -n 100 >&2 || true
    different=1
  done
  [ "$different" = 0 ]
}

# Each lane in a process group of its own (job control), ended whole when
# the front lane fails. autopkgtest keeps the usual priority: the game it
# starts would starve beside the games of the front lane, which never rest.
set -m
(renice -n 10 -p "$BASHPID" >/dev/null && beside) >"$logs/beside.log" 2>&1 &
lane=$!
(
  wait_for package.done "$lane"
  echo "== autopkgtest"
  rm -rf "$root/build/autopkgtest"
  autopkgtest --output-dir "$root/build/autopkgtest" "$package"/snake-game-*/ "$package"/snake-game_*.deb -- null
) >"$logs/autopkgtest.log" 2>&1 &
apt_lane=$!
set +m
trap 'kill -- -"$lane" -"$apt_lane" 2>/dev/null || true' EXIT

echo "== Windows build under Wine"
# The game cross-built for Windows, its zip and installer, the unit tests
# and the real snake.exe end to end, all under Wine; snake.dat and the
# end-to-end tests come from the main build.
CMAKE_CXX_COMPILER_LAUNCHER=ccache "$root/scripts/windows.sh" --test --native-build "$root/build"
touch "$logs/windows.done"

echo "== the main build's tests (their output comes last)"
# The package test reads the package built beside.
ctest_status=0
if wait_for package.done "$lane"; then
  (cd "$root/build" && ctest --output-on-failure -j"$jobs") >"$logs/ctest.log" 2>&1 || ctest_status=$?
fi
beside_status=0
wait "$lane" || beside_status=$?
wait "$apt_lane" || beside_status=$?
trap - EXIT

cat "$logs/beside.log" "$logs/autopkgtest.log"
echo "== all tests of the main build"
if [ -e "$logs/ctest.log" ]; then
  cat "$logs/ctest.log"
else
  echo "not run: no package was built beside"
fi
[ "$beside_status" = 0 ] && [ "$ctest_status" = 0 ]
