#!/bin/sh
# Starts the Windows build of the game under Wine, in the current folder and
# on $DISPLAY. The end-to-end harness runs it in place of the Linux game
# (SNAKE_E2E_GAME=this script), so the same tests drive snake.exe.
#   SNAKE_WINDOWS_GAME  the game's .exe
#   WINEPREFIX          a Wine prefix made beforehand (wineboot takes seconds)
set -eu
: "${SNAKE_WINDOWS_GAME:?the game .exe to run}" "${WINEPREFIX:?a Wine prefix made beforehand}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
wine_dir=/usr/lib/wine
# A prefix's server stays tied to the X display it started on, and each test
# has an X server of its own: the last test's server is stopped first.
"$wine_dir/wineserver" -k 2>/dev/null || true
"$wine_dir/wineserver" -w
exec "$wine_dir/wine64" "$SNAKE_WINDOWS_GAME"
