#!/usr/bin/env bash
# Builds the Debian source package and the .deb from the committed tree, the
# way Debian builds it, and prints the .deb's path:
#
#   scripts/package.sh [FOLDER]      FOLDER under build/, by default build/package
#
# The orig tarball is `git archive` of HEAD without debian/, the debian
# folder comes from HEAD too; both are unpacked in FOLDER and built there with
# dpkg-buildpackage -us -uc. FOLDER then holds the .dsc, the orig and debian
# tarballs, the .changes and the .debs; nothing is written outside it.
# Install with `sudo apt install ./build/package/snake-game_*.deb`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/${1:-build/package}"
case "$(realpath -m "$out")/" in
  "$root/build/"?*) ;;
  *) echo "usage: $0 [FOLDER under build/]" >&2; exit 2 ;;
esac
"$root/scripts/deps.sh"

name="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Source)"
version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
upstream="${version%-*}"
rm -rf "$out"
mkdir -p "$out"
git -C "$root" archive --format=tar.gz --prefix="$name-$upstream/" -o "$out/${name}_$upstream.orig.tar.gz" \
  HEAD -- . ':(exclude)debian'
tar -xzf "$out/${name}_$upstream.orig.tar.gz" -C "$out"
git -C "$root" archive HEAD debian | tar -x -C "$out/$name-$upstream"
if ! (cd "$out/$name-$upstream" && dpkg-buildpackage -us -uc -j"$(nproc)") >"$out/build.log" 2>&1; then
  tail -n 60 "$out/build.log" >&2
  echo "dpkg-buildpackage failed: $out/build.log" >&2
  exit 1
fi
ls "$out/${name}_${version}_$(dpkg --print-architecture).deb"
