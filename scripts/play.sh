#!/usr/bin/env bash
# Builds the game and starts it from ./play, the folder that holds
# snake.dat and keeps the record file scores.txt between games.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
cmake --preset default -S "$root" >/dev/null
cmake --build "$root/build" --target snake datafile -j"$(nproc)"
mkdir -p "$root/play"
cp "$root/build/game/snake.dat" "$root/play/snake.dat"
cd "$root/play"
exec "$root/build/snake"
