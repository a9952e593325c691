#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks. Run as root, or as a user who may use sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  git debhelper dpkg-dev autopkgtest diffoscope-minimal xdotool
  liballegro4-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth x11-utils x11-xserver-utils libx11-dev libxtst-dev libxext-dev libxrender-dev libxrandr-dev openbox
  weston xwayland x11-xkb-utils
  clang libclang-rt-dev
  valgrind
  desktop-file-utils pngcheck libpng-dev
  lintian appstream man-db groff-base procps
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
