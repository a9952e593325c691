#!/usr/bin/env bash
# Builds Allegro 4 for 64-bit Windows, as a static library with mingw-w64,
# once per machine, and prints the folder that holds it:
#
#   scripts/windows-allegro.sh            build-windows/allegro when it holds
#                                         this version and patch (a link to a
#                                         library built elsewhere, say), else
#                                         the user's cache, built there first:
#                                         ${XDG_CACHE_HOME:-~/.cache}/snake-game/
#                                         allegro-VERSION-PATCHHASH
#   scripts/windows-allegro.sh PREFIX     into PREFIX instead
#
# A library is built in a temporary folder beside its place and renamed into
# it when complete, so a build cut short never leaves half a library; a later
# run finds it built for the same version and patch and does nothing.
#
# The source is Debian's own package of the library, allegro4.4, fetched
# with apt from the Debian archive this machine's apt sources name (with a
# source list and index of its own, in the temporary folder: the machine's
# apt configuration stays as it was), checked against its .dsc and patched
# with packaging/windows/allegro-wine.patch. scripts/windows.sh runs this,
# after installing the mingw-w64 toolchain.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"

allegro_version=4.4.3.1
allegro_patch="$root/packaging/windows/allegro-wine.patch"
patch_hash="$(sha256sum < "$allegro_patch" | cut -d' ' -f1)"
allegro_stamp="allegro $allegro_version, mingw-w64 static, $patch_hash"
built() { [ "$(cat "$1/built-from" 2>/dev/null)" = "$allegro_stamp" ]; }

if [ $# -gt 0 ]; then
  allegro="$(realpath -m "$1")"
elif built "$root/build-windows/allegro"; then
  allegro="$root/build-windows/allegro"
else
  allegro="${XDG_CACHE_HOME:-$HOME/.cache}/snake-game/allegro-$allegro_version-${patch_hash:0:16}"
fi
if built "$allegro"; then
  echo "$allegro"
  exit 0
fi
# One build at a time: a second test run waits for the first one's library.
mkdir -p "$(dirname "$allegro")"
exec 9>"$allegro.lock"
flock 9
if built "$allegro"; then
  echo "$allegro"
  exit 0
fi
work="$(mktemp -d "$allegro.building.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# The archive and keyring this machine already uses for Debian itself, from
# the deb822 sources (Debian 12's default) or the one-line ones: "URI KEYRING".
debian_archive() {
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
  return 1
}

# Prints the path of the checked upstream tarball.
fetch_allegro_source() {
  local apt_dir="$work/apt" codename archive keyring uris dsc orig want got
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
  if [ -z "$codename" ] || ! read -r archive keyring < <(debian_archive "$codename"); then
    echo "windows-allegro.sh: this machine's apt sources name no Debian archive for '$codename'" \
         "(/etc/apt/sources.list, /etc/apt/sources.list.d/): add one, or put Allegro for Windows" \
         "built beforehand in $allegro" >&2
    exit 1
  fi
  [ "$keyring" = "-" ] && keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  rm -rf "$apt_dir"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts" "$apt_dir/source"
  echo "deb-src [signed-by=$keyring] $archive $codename main" > "$apt_dir/sources.list"
  local apt_options=(
    -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
    -o APT::Sandbox::User=root -qq
  )
  echo "== fetching the source of Allegro $allegro_version ($archive $codename)" >&2
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

orig="$(fetch_allegro_source)"
mkdir -p "$work/allegro-src"
tar -xf "$orig" -C "$work/allegro-src" --strip-components=1
patch -d "$work/allegro-src" -p1 --quiet < "$allegro_patch"
echo "== building Allegro $allegro_version for Windows" >&2
# The library's own CMake project, with its own options: not one of ours.
cmake -S "$work/allegro-src" -B "$work/allegro-build" -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$work/allegro" -DSHARED=OFF \
  -DWANT_EXAMPLES=OFF -DWANT_TOOLS=OFF -DWANT_TESTS=OFF -DWANT_DOCS=OFF \
  -DWANT_ALLEGROGL=OFF -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_JPGALLEG=OFF >/dev/null
# The library's own warnings go to a log, shown when its build fails.
if ! cmake --build "$work/allegro-build" -j"$jobs" > "$work/allegro-build.log" 2>&1; then
  tail -n 40 "$work/allegro-build.log" >&2
  exit 1
fi
cmake --install "$work/allegro-build" >/dev/null
echo "$allegro_stamp" > "$work/allegro/built-from"
rm -rf "$allegro"
mv -T "$work/allegro" "$allegro"
echo "$allegro"
