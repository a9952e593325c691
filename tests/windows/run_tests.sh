#!/usr/bin/env bash
# The Windows build's tests, run by `scripts/windows.sh --test` once it has
# built everything:
#   run_tests.sh BUILD_WINDOWS CROSS_BUILD NATIVE_BUILD PACKAGE_NAME
#
# 1. the zip holds the game, the datafile, the readme and the licence in one
#    folder;
# 2. the unit tests, cross-built, under Wine;
# 3. the installer and the uninstaller under Wine, silent but once, as one
#    table: a per-user install with its shortcut and uninstall entry, an
#    install over an older one, a running game, folders it must refuse or
#    take quoted, an uninstall that leaves scores.txt, the quiet one too,
#    and one with nothing installed;
# 4. the real snake.exe from the zip under Wine on a virtual X server, driven
#    by the end-to-end harness: the menu, a one-player game to a new record,
#    QUITTER ending the program with status 0, and a two-player game; full
#    screen at 1080p and on one of two monitors, F11, and the close button
#    on every screen.
set -euo pipefail
out="$1"
cross="$2"
native="$3"
name="$4"
here="$(cd "$(dirname "$0")" && pwd)"

wine_dir=/usr/lib/wine
export WINEPREFIX="$out/wine-prefix"
export WINEDEBUG=-all
# No prompt to fetch Wine's .NET and browser engines: the game uses neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine() { "$wine_dir/wine64" "$@"; }
stop_wine() { "$wine_dir/wineserver" -k 2>/dev/null || true; "$wine_dir/wineserver" -w; }
trap stop_wine EXIT

failed=0
check() {
  local what="$1"
  shift
  if "$@"; then
    echo "[  PASSED  ] $what"
  else
    echo "[  FAILED  ] $what"
    failed=1
  fi
}

# ---------------------------------------------------------------- the zip

echo "== the zip"
unpacked="$out/test-zip"
rm -rf "$unpacked"
mkdir -p "$unpacked"
unzip -q "$out/$name.zip" -d "$unpacked"
top="${name%-windows-*}"
check "the zip holds $top/ with snake.exe, snake.dat, the readme and the licence, nothing else" \
  test "$(cd "$unpacked" && find . | sort | tr '\n' ' ')" = \
       ". ./$top ./$top/LICENSE.txt ./$top/LISEZMOI-README.txt ./$top/snake.dat ./$top/snake.exe "
unpacked="$unpacked/$top"
check "its LICENSE.txt is the project's licence, with CRLF line ends" \
  bash -c "diff -q <(tr -d '\r' < '$unpacked/LICENSE.txt') '$here/../../LICENSE' >/dev/null && grep -q \$'\r\$' '$unpacked/LICENSE.txt'"
check "its snake.dat is the Linux build's" cmp -s "$unpacked/snake.dat" "$native/game/snake.dat"
check "the readme has CRLF line ends only" \
  test "$(grep -c $'\r$' "$unpacked/LISEZMOI-README.txt")" = "$(wc -l < "$unpacked/LISEZMOI-README.txt")"
# Explorer, the shortcut and the uninstall entry show the icon built into
# the .exe: the one drawn by the project's picture program.
wrestool -x -t 14 "$unpacked/snake.exe" > "$out/test-icon.ico" 2>/dev/null || true
check "snake.exe carries the game's icon" \
  cmp -s -n "$(stat -c %s "$out/snake.ico")" "$out/test-icon.ico" "$out/snake.ico"
check "the readme is in French" grep -q "^Français" "$unpacked/LISEZMOI-README.txt"
check "the readme is in English" grep -q "^English" "$unpacked/LISEZMOI-README.txt"

# ---------------------------------------------------------------- Wine's prefix

# Made once per machine and Wine version, in the user's cache (into a
# temporary folder, renamed when complete), and copied: wineboot takes
# seconds where a copy takes one.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  pristine="${XDG_CACHE_HOME:-$HOME/.cache}/snake-game/$(wine --version | sed 's/[^A-Za-z0-9.]\+/-/g; s/-$//')-prefix"
  if [ ! -f "$pristine/system.reg" ]; then
    echo "== making a Wine prefix"
    mkdir -p "$(dirname "$pristine")"
    making="$(mktemp -d "$pristine.making.XXXXXX")"
    WINEPREFIX="$making" wine wineboot --init >/dev/null 2>&1
    WINEPREFIX="$making" stop_wine
    # (A run that made it meanwhile keeps its own.)
    mv -T "$making" "$pristine" 2>/dev/null || rm -rf "$making"
  fi
  rm -rf "$WINEPREFIX"
  cp -a "$pristine" "$WINEPREFIX"
fi

# ---------------------------------------------------------------- unit tests

echo "== unit tests under Wine"
# From the folder that holds snake.dat: the tests name it relative to it.
if (cd "$cross/game" && wine "$cross/tests/unit_tests.exe" --gtest_brief=1); then
  echo "[  PASSED  ] the unit tests under Wine"
else
  echo "[  FAILED  ] the unit tests under Wine"
  failed=1
fi
stop_wine

# ---------------------------------------------------------------- the installer

echo "== the installer under Wine"
# Wine never asks for administrator rights; Windows does whenever the
# installer's manifest requires them, so the manifest is read here.
check "the installer runs with the user's own rights" \
  bash -c "wrestool -x --raw -t 24 '$out/$name-setup.exe' | grep -q 'requestedExecutionLevel level=\"asInvoker\"'"
# A virtual X server for the game that runs while the installer does.
rm -f "$out/test-display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$out/test-display" 2>/dev/null &
xvfb=$!
trap 'stop_wine; kill $xvfb 2>/dev/null || true' EXIT
while [ ! -s "$out/test-display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$out/test-display")"
# On a loaded machine Wine now and then fails to start a program, and says
# so on standard output: what a helper prints is taken only when it has the
# form asked for, else it is asked again.
wine_text() {  # PATTERN COMMAND...
  local pattern="$1" text attempt
  shift
  for attempt in 1 2 3 4 5; do
    text="$(wine "$@" 2>/dev/null | tr -d '\r')"
    # shellcheck disable=SC2254
    case "$text" in $pattern) printf '%s\n' "$text"; return 0 ;; esac
    sleep 1
  done
  echo "wine $*: $text" >&2
  return 1
}
winpath() { wine_text '/*' winepath -u "$1"; }
appdata="$(wine_text '[A-Z]:\\*' cmd /c echo %LOCALAPPDATA%)"
start_menu_unix="$(winpath "$(wine_text '[A-Z]:\\*' cmd /c echo %APPDATA%)\\Microsoft\\Windows\\Start Menu\\Programs")"
folder="$appdata\\Programs\\Snake"
installed="$(winpath "$folder")"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Snake'
rm -rf "$installed" "$start_menu_unix/Snake.lnk"
wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true

# The shortcut's fields as Windows reads them (lnkinfo, from liblnk-utils).
shortcut_field() {
  lnkinfo "$start_menu_unix/Snake.lnk" 2>/dev/null |
    sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" | head -n1 | tr -d '\r'
}
entry() { wine reg query "$uninstall_key" /v "$1" 2>/dev/null | sed -n "s/^ *$1 *REG_SZ *//p" | tr -d '\r'; }
state() {  # what the player has of the game: the folder, the shortcut, the entry
  (cd "$installed" 2>/dev/null && find . -type f -exec md5sum {} + | sort)
  [ -f "$start_menu_unix/Snake.lnk" ] && echo "shortcut"
  echo "entry: $(entry InstallLocation)"
}
# The outcomes. Installed: the zip's files and the uninstaller, nothing
# else; the shortcut starts snake.exe in the install folder, with its icon;
# the uninstall entry names the folder and the uninstaller.
installed() {
  for file in "$unpacked"/*; do cmp "$file" "$installed/${file##*/}" || return 1; done
  [ "$(ls "$installed" | tr '\n' ' ')" = "$(ls "$unpacked" | tr '\n' ' ')uninstall.exe " ] &&
  [ "$(shortcut_field 'Local path')|$(shortcut_field 'Working directory')|$(shortcut_field 'Icon location')" \
    = "$folder\\snake.exe|$folder|$folder\\snake.exe" ] &&
  [ "$(entry InstallLocation)|$(entry UninstallString)|$(entry QuietUninstallString)" \
    = "$folder|\"$folder\\uninstall.exe\"|\"$folder\\uninstall.exe\" /S _?=$folder" ]
}
# As before, and nothing written into a refused folder.
as_before() {
  [ -z "$elsewhere" ] || [ -z "$(ls -A "$(winpath "$elsewhere")" 2>/dev/null)" ] || return 1
  [ "$(state)" = "$before" ] || { diff <(echo "$before") <(state); return 1; }
}
removed() {
  [ "$(state)" = "$(printf '%s  ./scores.txt\nentry: ' "$(md5sum <<<120 | cut -d' ' -f1)")" ] || { state; return 1; }
}
# Before the command.
older_install() { echo "older" >> "$installed/snake.dat"; echo "older" >> "$installed/LICENSE.txt"; }
record() { echo 120 > "$installed/scores.txt"; }
game_running() {
  (cd "$installed" && exec "$wine_dir/wine64" snake.exe) >/dev/null 2>&1 & disown
  for ((tries = 0; tries < 300; tries++)); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Snake": ("snake.exe"' && return 0 || sleep 0.1
  done
  return 1
}
# Wine quotes an argument with a blank: "/D=...\My Games\Snake".
file_in_the_way() {
  local unix
  unix="$(winpath "$appdata")" && touch "$unix/blocker" && elsewhere="$appdata\\blocker\\Snake"
}
long_folder() {  # 285 characters
  local unix
  elsewhere="$folder$(printf '\\%060d' 1 2 3 4)"
  unix="$(winpath "$elsewhere")" && mkdir -p "$unix"
}
blank_folder() { elsewhere="$appdata\\My Games\\Snake"; }
installed_there() { folder="$elsewhere" installed="$(winpath "$elsewhere")" installed; }
reinstalled() { setup && stop_wine && cp "$installed/uninstall.exe" "$out/test-uninstall.exe" && record; }
kept_uninstaller() { cp "$out/test-uninstall.exe" "$installed/uninstall.exe"; }
# The commands: the uninstaller run in place (_?=, the quiet uninstall
# string) waits and tells its exit code; run plainly, it runs a copy of
# itself from the temporary folder and returns at once. Either way a copy
# removes uninstall.exe last, so the prefix's programs are waited for.
setup() { wine "$out/$name-setup.exe" /S; }
setup_elsewhere() { wine "$out/$name-setup.exe" /S "/D=$elsewhere"; }
uninstall_here() { wine "$installed/uninstall.exe" /S "_?=$folder" && "$wine_dir/wineserver" -w; }
uninstall() { wine "$installed/uninstall.exe" /S && "$wine_dir/wineserver" -w; }
uninstall_shown() {  # with its window, as a player runs it: Enter closes the message Wine traces
  LC_ALL=C WINEDEBUG=trace+msgbox timeout 30 "$wine_dir/wine64" "$installed/uninstall.exe" "_?=$folder" 2>"$out/test-message" &
  while kill -0 $! 2>/dev/null; do grep -q MSGBOX_OnInit "$out/test-message" && xdotool key Return; sleep 0.2; done
  wait $!
}
said_not_installed() { grep -q "Snake is not installed in" "$out/test-message" && as_before; }

# case | prepared | command | exit code | outcome
cases=(
  "a first install|:|setup|0|installed"
  "an install over an older one|older_install|setup|0|installed"
  "an install over the game running|game_running|setup|2|as_before"
  "an uninstall with the game running|game_running|uninstall_here|2|as_before"
  "an install into a folder that cannot be made|file_in_the_way|setup_elsewhere|2|as_before"
  "an install into a folder too long for the game to start in|long_folder|setup_elsewhere|2|as_before"
  "an uninstall, the record kept|record|uninstall|0|removed"
  "the quiet uninstall, the record kept|reinstalled|uninstall_here|0|removed"
  "an uninstall with nothing installed, shown|kept_uninstaller|uninstall_shown|2|said_not_installed"
  "an install into a folder with a blank, quoted|blank_folder|setup_elsewhere|0|installed_there"
)
for row in "${cases[@]}"; do
  IFS='|' read -r what prepare command expected outcome <<<"$row"
  elsewhere=""
  "$prepare" || { check "$what: $prepare" false; continue; }
  before="$(state)"
  "$command" && status=0 || status=$?
  stop_wine
  check "$what: exit code $expected (got $status)" test "$status" = "$expected"
  check "$what: $outcome" "$outcome"
done
rm -rf "$installed"
kill "$xvfb"
unset DISPLAY

# ---------------------------------------------------------------- end to end

echo "== snake.exe under Wine, end to end"
# The Linux game's end-to-end tests, with the harness starting snake.exe
# under Wine instead of the Linux binary.
# The menu on three screens, a one-player game to a new record and
# QUITTER's status 0, two players on one keyboard for the W, A, S, D keys;
# full screen on a 1080p screen and F11 to a window and back, full screen on
# the monitor with the pointer, and the close button, the window focused,
# ending the game with status 0 on every screen.
e2e_cases="menu_e2e/*:game_e2e.EatingBeatsTheRecordAndTheNextGameDoesNot"
e2e_cases+=":modes_e2e.TwoPlayersMeetingEndTheGameWithBothScores"
e2e_cases+=":startup_e2e.FullScreen*:startup_e2e/CloseButton.*"
if SNAKE_E2E_GAME="$here/wine_game.sh" SNAKE_WINDOWS_GAME="$unpacked/snake.exe" \
   "$native/tests/e2e_tests" --gtest_filter="$e2e_cases" --gtest_brief=1; then
  echo "[  PASSED  ] snake.exe end to end under Wine"
else
  echo "[  FAILED  ] snake.exe end to end under Wine"
  failed=1
fi

exit "$failed"
