#!/usr/bin/env bash
# Takes the README's pictures from the real game: builds it, plays it on a
# virtual X server through the end-to-end tests' harness (the disabled
# screenshots_e2e tests) and writes the PNG files into docs/screenshots/,
# or into the folder given as the first argument. BUILD_DIR names another
# build folder than build/.
#
# The games are played for real, with random apples; a game that goes
# wrong (the snake misses an apple, or runs into a wall on a busy machine)
# is simply played again, a few times at most.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
build="${BUILD_DIR:-$root/build}"

"$root/scripts/deps.sh"
cmake --preset default -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target snake datafile e2e_tests -j"$(nproc)"

tests=(MainMenu OptionsScreen OnePlayerGameAndNewRecord TwoPlayerGame)
attempts=5
for test in "${tests[@]}"; do
  for ((attempt = 1; ; attempt++)); do
    if SNAKE_SCREENSHOT_DIR="$out" "$build/tests/e2e_tests" \
        --gtest_also_run_disabled_tests --gtest_filter="screenshots_e2e.DISABLED_$test" \
        >"$out/.last_run.log" 2>&1; then
      grep '\[ e2e      \] wrote' "$out/.last_run.log" || true
      break
    fi
    if ((attempt >= attempts)); then
      cat "$out/.last_run.log" >&2
      rm -f "$out/.last_run.log"
      echo "screenshots: $test failed $attempts times" >&2
      exit 1
    fi
    echo "screenshots: $test went wrong (attempt $attempt), playing it again"
  done
done
rm -f "$out/.last_run.log"
# The PNG files are written with libpng by the tests' harness: have them checked.
if command -v pngcheck >/dev/null; then
  pngcheck -q "$out"/*.png
fi
echo "screenshots: written to $out"
