#!/usr/bin/env bash
# Builds the game for 64-bit Windows on Debian, with mingw-w64, and leaves in
# build-windows/ (or the folder given with --out):
#   snake-<version>-windows-x64.zip         snake-<version>/ with snake.exe, snake.dat,
#                                           LISEZMOI-README.txt and LICENSE.txt
#   snake-<version>-windows-x64-setup.exe   a per-user installer made with NSIS
#
#   scripts/windows.sh                      build the zip and the installer
#   scripts/windows.sh --test               the same, then the unit tests and
#                                           the end-to-end tests under Wine
#   scripts/windows.sh --native-build DIR   take snake.dat, the icon and the
#                                           end-to-end tests from a native build
#                                           already made in DIR (scripts/test.sh does)
#   scripts/windows.sh --out DIR            build in DIR instead of build-windows/
#
# Allegro 4 for Windows is built by scripts/windows-allegro.sh once per
# machine, into the user's cache; build-windows/allegro, where the windows
# preset looks, links to it. Two builds of one commit, in any folders, give
# the same zip and installer byte for byte.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-windows"
jobs="$(nproc)"

run_tests=0
native=""
while [ $# -gt 0 ]; do
  case "$1" in
    --test) run_tests=1 ;;
    --native-build) native="$(cd "$2" && pwd)"; shift ;;
    --out) out="$(realpath -m "$2")"; shift ;;
    *) echo "usage: $0 [--test] [--native-build DIR] [--out DIR]" >&2; exit 2 ;;
  esac
  shift
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# ---------------------------------------------------------------- packages

# The native build (the datafile's tools, the end-to-end harness) needs what
# scripts/deps.sh installs; the Windows build needs these besides.
"$root/scripts/deps.sh"
packages=(
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  googletest nsis icoutils zip unzip wine64 liblnk-utils
)
installed="$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
             sed -n 's/ install ok installed$//p' || true)"
missing=()
for p in "${packages[@]}"; do
  [[ $'\n'$installed$'\n' == *$'\n'"$p"$'\n'* ]] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
    --no-install-recommends "${missing[@]}"
fi

mkdir -p "$out"
version="$(sed -n 's/^project(snake VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"

# ---------------------------------------------------------------- Allegro

allegro="$("$root/scripts/windows-allegro.sh")"
mkdir -p "$root/build-windows"
[ -e "$root/build-windows/allegro" ] || ln -sfn "$allegro" "$root/build-windows/allegro"

# Every build of one commit gives the same bytes: the linker's PE time stamp,
# the zip's dates and the installer's file times are the date of the
# release's changelog entry, as in the Debian package.
SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Timestamp)"
export SOURCE_DATE_EPOCH

# ---------------------------------------------------------------- the native parts

# snake.dat and the icon are drawn by the project's own program, which runs
# here: a native build makes them, the same snake.dat as the Linux game's.
if [ -z "$native" ]; then
  native="$out/native"
  cmake --preset default -S "$root" -B "$native" -DSNAKE_BUILD_TESTS="$run_tests" >/dev/null
  targets=(datafile)
  [ "$run_tests" = 1 ] && targets+=(e2e_tests)
  cmake --build "$native" -j"$jobs" --target "${targets[@]}"
fi
[ -f "$native/game/snake.dat" ] || { echo "no snake.dat in $native/game" >&2; exit 1; }
icotool -c -o "$out/snake.ico" \
  "$native"/art/icon_48.png "$native"/art/icon_64.png "$native"/art/icon_128.png \
  -r "$native"/art/icon_256.png

# ---------------------------------------------------------------- the game for Windows

cross="$out/cross"
cmake --preset windows -S "$root" -B "$cross" -DCMAKE_FIND_ROOT_PATH="$allegro" \
  -DSNAKE_NATIVE_DATAFILE="$native/game/snake.dat" -DSNAKE_WINDOWS_ICON="$out/snake.ico" \
  -DSNAKE_BUILD_TESTS="$run_tests" >/dev/null
targets=(snake datafile)
[ "$run_tests" = 1 ] && targets+=(unit_tests)
cmake --build "$cross" -j"$jobs" --target "${targets[@]}"
cmp "$cross/game/snake.dat" "$native/game/snake.dat"

# Nothing to ship beside the .exe: it may only use DLLs every Windows has.
system_dlls='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|OLE32|WINMM|DINPUT|DDRAW|DSOUND|msvcrt)\.dll$'
imports="$(x86_64-w64-mingw32-objdump -p "$cross/game/snake.exe" | sed -n 's/^[[:space:]]*DLL Name: //p')"
if echo "$imports" | grep -viE "$system_dlls" | grep -q .; then
  echo "snake.exe needs DLLs Windows does not have:" $(echo "$imports" | grep -viE "$system_dlls") >&2
  exit 1
fi

# ---------------------------------------------------------------- the zip

# Everything under one folder, snake-<version>, with the licence beside the
# game: the zip holds that folder, the installer installs its files.
name="snake-$version-windows-x64"
top="snake-$version"
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage/$top"
cp "$cross/game/snake.exe" "$cross/game/snake.dat" "$stage/$top/"
x86_64-w64-mingw32-strip "$stage/$top/snake.exe"
# Text files Notepad shows as they are: CRLF line ends, the readme's UTF-8
# marked as such.
{ printf '\357\273\277'; sed 's/\r*$/\r/' "$root/packaging/windows/LISEZMOI-README.txt"; } \
  > "$stage/$top/LISEZMOI-README.txt"
sed 's/\r*$/\r/' "$root/LICENSE" > "$stage/$top/LICENSE.txt"
files=(snake.exe snake.dat LISEZMOI-README.txt LICENSE.txt)
touch -d "@$SOURCE_DATE_EPOCH" "$stage/$top" "${files[@]/#/$stage/$top/}"
rm -f "$out/$name.zip"
# Entries in a fixed order, with their dates in UTC and no extra fields.
(cd "$stage" && TZ=UTC zip -q -X "$out/$name.zip" "$top/" "${files[@]/#/$top/}")

# ---------------------------------------------------------------- the installer

makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$stage/$top" -DICON="$out/snake.ico" \
  -DOUTFILE="$out/$name-setup.exe" "$root/packaging/windows/snake.nsi"

echo "== built:"
ls -l "$out/$name.zip" "$out/$name-setup.exe"

[ "$run_tests" = 1 ] || exit 0

# ---------------------------------------------------------------- tests under Wine

exec "$root/tests/windows/run_tests.sh" "$out" "$cross" "$native" "$name"
