#!/usr/bin/env bash
# Builds the game and its Debian package, and prints the package's path.
# Install it with `sudo apt install ./build/package/snake-game_*.deb`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target snake datafile packaging_files -j"$(nproc)"
out="$root/build/package"
rm -rf "$out"
(cd "$root/build" && cpack -G DEB -B "$out" --config CPackConfig.cmake >/dev/null)
ls "$out"/*.deb
