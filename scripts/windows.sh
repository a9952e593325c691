#!/usr/bin/env bash
# Builds the game for 64-bit Windows on Debian, with mingw-w64, and leaves in
# build-windows/:
#   snake-<version>-windows-x64.zip         snake.exe, snake.dat, LISEZMOI-README.txt
#   snake-<version>-windows-x64-setup.exe   a per-user installer made with NSIS
#
#   scripts/windows.sh                      build the zip and the installer
#   scripts/windows.sh --test               the same, then the unit tests and
#                                           the end-to-end tests under Wine
#   scripts/windows.sh --test --native-build DIR
#                                           take snake.dat and the end-to-end
#                                           tests from a native build already
#                                           made in DIR (scripts/test.sh does)
#
# Allegro 4 for Windows is built from the source of Debian's own package of
# the library (allegro4.4, fetched by apt into build-windows/ and checked
# against its .dsc), once: later runs find it built in build-windows/allegro.
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
    *) echo "usage: $0 [--test] [--native-build DIR]" >&2; exit 2 ;;
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
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
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

allegro_version=4.4.3.1
allegro_patch="$root/packaging/windows/allegro-wine.patch"
allegro="$out/allegro"
allegro_stamp="allegro $allegro_version, mingw-w64 static, $(sha256sum < "$allegro_patch" | cut -d' ' -f1)"

# The mirror and keyring this machine already uses for Debian itself, from
# the deb822 sources (Debian 12's default) or the one-line ones.
debian_mirror() {
  local codename="$1" line
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v suite="$codename" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && uris != "") {
          split(uris, u, " ")
          print u[1], (keys == "" ? "-" : keys)
          found = 1
          exit
        }
        types = suites = uris = keys = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
      /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
      /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
      /^Signed-By:/ { sub(/^Signed-By:[ \t]*/, ""); keys = $0 }
      END { if (!found) flush() }
    ' "$f"
  done | head -n1 | grep . && return 0
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    line="$(grep -E "^deb[[:space:]]+([[][^]]*[]][[:space:]]+)?[a-z]+://[^[:space:]]+[[:space:]]+$codename[[:space:]]" "$f" |
            head -n1 || true)"
    if [ -n "$line" ]; then
      echo "$line" | sed -E 's/^deb[[:space:]]+([[][^]]*[]][[:space:]]+)?//' | awk '{print $1, "-"}'
      return 0
    fi
  done
  echo "http://deb.debian.org/debian -"
}

# Prints the path of the checked upstream tarball.
fetch_allegro_source() {
  local apt_dir="$out/apt" codename mirror keyring uris dsc orig want got
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  read -r mirror keyring < <(debian_mirror "$codename")
  [ "$keyring" = "-" ] && keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  rm -rf "$apt_dir"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts" "$apt_dir/source"
  echo "deb-src [signed-by=$keyring] $mirror $codename main" > "$apt_dir/sources.list"
  # apt with a source list, index folder and cache of its own: the machine's
  # configuration and package lists stay as they were.
  local apt_options=(
    -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
    -o APT::Sandbox::User=root -qq
  )
  echo "== fetching the source of Allegro $allegro_version ($mirror $codename)" >&2
  apt-get "${apt_options[@]}" update >&2
  # Only the .dsc and the upstream tarball are needed, not Debian's changes;
  # apt's own downloader checks each against the hash in the signed index.
  uris="$(cd "$apt_dir/source" && apt-get "${apt_options[@]}" source --print-uris allegro4.4)"
  while read -r uri name size hash; do
    case "$name" in
      *.dsc|*.orig.tar.*)
        /usr/lib/apt/apt-helper -o APT::Sandbox::User=root download-file "${uri//\'/}" "$apt_dir/source/$name" "$hash" >/dev/null ;;
    esac
  done <<< "$uris"
  dsc="$(ls "$apt_dir"/source/allegro4.4_*.dsc)"
  orig="$(ls "$apt_dir"/source/allegro4.4_"$allegro_version".orig.tar.*)"
  # The tarball must also be the one the .dsc names.
  want="$(awk -v name="$(basename "$orig")" '
    /^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && $3 == name { print $1 }' "$dsc")"
  got="$(sha256sum "$orig" | cut -d' ' -f1)"
  if [ -z "$want" ] || [ "$want" != "$got" ]; then
    echo "$(basename "$orig"): SHA-256 $got, the .dsc says '${want}'" >&2
    exit 1
  fi
  echo "$orig"
}

if [ "$(cat "$allegro/built-from" 2>/dev/null)" != "$allegro_stamp" ]; then
  orig="$(fetch_allegro_source)"
  rm -rf "$out/allegro-src" "$out/allegro-build" "$allegro"
  mkdir -p "$out/allegro-src"
  tar -xf "$orig" -C "$out/allegro-src" --strip-components=1
  patch -d "$out/allegro-src" -p1 --quiet < "$allegro_patch"
  echo "== building Allegro $allegro_version for Windows"
  cmake -S "$out/allegro-src" -B "$out/allegro-build" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$allegro" -DSHARED=OFF \
    -DWANT_EXAMPLES=OFF -DWANT_TOOLS=OFF -DWANT_TESTS=OFF -DWANT_DOCS=OFF \
    -DWANT_ALLEGROGL=OFF -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_JPGALLEG=OFF >/dev/null
  # The library's own warnings go to a log, shown when its build fails.
  if ! cmake --build "$out/allegro-build" -j"$jobs" > "$out/allegro-build.log" 2>&1; then
    tail -n 40 "$out/allegro-build.log" >&2
    exit 1
  fi
  cmake --install "$out/allegro-build" >/dev/null
  echo "$allegro_stamp" > "$allegro/built-from"
  rm -rf "$out/allegro-src" "$out/allegro-build" "$out/allegro-build.log"
fi

# ---------------------------------------------------------------- the native parts

# snake.dat and the icon are drawn by the project's own program, which runs
# here: a native build makes them, the same snake.dat as the Linux game's.
if [ -z "$native" ]; then
  native="$out/native"
  cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSNAKE_BUILD_TESTS="$run_tests" >/dev/null
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
cmake -S "$root" -B "$cross" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_ROOT_PATH="$allegro" \
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

name="snake-$version-windows-x64"
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage"
cp "$cross/game/snake.exe" "$cross/game/snake.dat" "$stage/"
x86_64-w64-mingw32-strip "$stage/snake.exe"
# A text file Notepad shows as it is: UTF-8 marked as such, CRLF line ends.
{ printf '\357\273\277'; sed 's/\r*$/\r/' "$root/packaging/windows/LISEZMOI-README.txt"; } \
  > "$stage/LISEZMOI-README.txt"
rm -f "$out/$name.zip"
(cd "$stage" && zip -q -X "$out/$name.zip" snake.exe snake.dat LISEZMOI-README.txt)

# ---------------------------------------------------------------- the installer

makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$stage" -DICON="$out/snake.ico" \
  -DOUTFILE="$out/$name-setup.exe" "$root/packaging/windows/snake.nsi"

echo "== built:"
ls -l "$out/$name.zip" "$out/$name-setup.exe"

[ "$run_tests" = 1 ] || exit 0

# ---------------------------------------------------------------- tests under Wine

exec "$root/tests/windows/run_tests.sh" "$out" "$cross" "$native" "$name"
