#!/usr/bin/env bash
# The Windows build's tests, run by `scripts/windows.sh --test` once it has
# built everything:
#   run_tests.sh BUILD_WINDOWS CROSS_BUILD NATIVE_BUILD PACKAGE_NAME
#
# 1. the zip holds the game, the datafile and the readme;
# 2. the unit tests, cross-built, under Wine;
# 3. the installer under Wine: a silent per-user install, the shortcut, the
#    uninstall entry, and an uninstall that leaves scores.txt;
# 4. the real snake.exe from the zip under Wine on a virtual X server, driven
#    by the end-to-end harness: the menu, a one-player game to a new record,
#    QUITTER ending the program with status 0, and a two-player game.
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
check "the zip holds snake.exe, snake.dat and the readme, nothing else" \
  test "$(cd "$unpacked" && ls | tr '\n' ' ')" = "LISEZMOI-README.txt snake.dat snake.exe "
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

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== making a Wine prefix"
  rm -rf "$WINEPREFIX"
  wine wineboot --init >/dev/null 2>&1
  stop_wine
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
appdata="$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')"
appdata_unix="$(wine winepath -u "$appdata" 2>/dev/null | tr -d '\r')"
start_menu_unix="$(wine winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs" 2>/dev/null | tr -d '\r')"
installed="$appdata_unix/Programs/Snake"
rm -rf "$installed"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Snake'
wine "$out/$name-setup.exe" /S
stop_wine
check "the installer puts the game into %LOCALAPPDATA%\\Programs\\Snake" \
  test -f "$installed/snake.exe" -a -f "$installed/snake.dat" -a -f "$installed/uninstall.exe"
check "the installed game is the zip's" cmp -s "$installed/snake.exe" "$unpacked/snake.exe"
check "a Start-menu shortcut" test -f "$start_menu_unix/Snake.lnk"
# The shortcut's fields as Windows reads them (lnkinfo, from liblnk-utils).
shortcut_field() {
  lnkinfo "$start_menu_unix/Snake.lnk" 2>/dev/null |
    sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" | head -n1 | tr -d '\r'
}
check "the shortcut starts snake.exe in the install folder, with its icon" \
  test "$(shortcut_field 'Local path')|$(shortcut_field 'Working directory')|$(shortcut_field 'Icon location')" \
     = "$appdata\\Programs\\Snake\\snake.exe|$appdata\\Programs\\Snake|$appdata\\Programs\\Snake\\snake.exe"
check "an uninstall entry for the user" \
  bash -c "'$wine_dir/wine64' reg query '$uninstall_key' /v UninstallString 2>/dev/null | grep -q uninstall.exe"
printf '120' > "$installed/scores.txt"
wine "$installed/uninstall.exe" /S
# The uninstaller runs a copy of itself from the temporary folder and
# returns at once: wait for every program of the prefix to end.
"$wine_dir/wineserver" -w
check "the uninstaller removes the game and the shortcut" \
  test ! -e "$installed/snake.exe" -a ! -e "$installed/snake.dat" -a ! -e "$installed/uninstall.exe" \
       -a ! -e "$start_menu_unix/Snake.lnk"
check "the uninstaller leaves the record" test "$(cat "$installed/scores.txt" 2>/dev/null)" = "120"
check "the uninstall entry is gone" \
  bash -c "! '$wine_dir/wine64' reg query '$uninstall_key' >/dev/null 2>&1"
stop_wine
rm -rf "$installed"

# ---------------------------------------------------------------- end to end

echo "== snake.exe under Wine, end to end"
# The Linux game's end-to-end tests, with the harness starting snake.exe
# under Wine instead of the Linux binary.
# The menu, a one-player game to a new record and QUITTER's status 0, and
# two players on one keyboard for the W, A, S, D keys.
e2e_cases="menu_e2e.*:game_e2e.EatingBeatsTheRecordAndTheNextGameDoesNot"
e2e_cases+=":modes_e2e.TwoPlayersMeetingEndTheGameWithBothScores"
if SNAKE_E2E_GAME="$here/wine_game.sh" SNAKE_WINDOWS_GAME="$unpacked/snake.exe" \
   "$native/tests/e2e_tests" --gtest_filter="$e2e_cases" --gtest_brief=1; then
  echo "[  PASSED  ] snake.exe end to end under Wine"
else
  echo "[  FAILED  ] snake.exe end to end under Wine"
  failed=1
fi

exit "$failed"
