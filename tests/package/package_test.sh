#!/usr/bin/env bash
# The Debian package as a player meets it. Builds the .deb from the build
# tree with CPack, unpacks it with dpkg -x to check its files, its desktop
# entry, its icons and its dependencies, then installs it with dpkg into a
# throw-away root and starts the game through the launcher: after the first
# install, a reinstall, an upgrade and a downgrade, and checks that the
# player's folder, with its record, outlives a removal of the package.
#
# Runs on an X display (ctest starts it under xvfb-run). Everything it needs
# comes from the environment ctest sets: PKG_BUILD_DIR, PKG_BUILT_DAT,
# PKG_CPACK, PKG_DAT_TOOL, PKG_NAME, PKG_VERSION, PKG_BINDIR,
# PKG_LIBEXECDIR, PKG_DATADIR and PKG_ICON_SIZES.
set -euo pipefail

for tool in dpkg dpkg-deb dpkg-shlibdeps desktop-file-validate pngcheck xwininfo readelf ldd cmp "$PKG_CPACK" "$PKG_DAT_TOOL"; do
    if ! command -v "$tool" >/dev/null; then
        echo "FAIL: $tool is missing (scripts/deps.sh installs what the tests need)" >&2
        exit 1
    fi
done
if [ -z "${DISPLAY:-}" ]; then
    echo "FAIL: no X display: run this under xvfb-run" >&2
    exit 1
fi

# Every path the launcher meets has a space in it, to keep its quoting honest.
work=$(mktemp -d "${TMPDIR:-/tmp}/snake package.XXXXXX")
game_pid=
cleanup() {
    if [ -n "$game_pid" ]; then
        kill "$game_pid" 2>/dev/null || true
        wait "$game_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP PIPE

# The player, as the launcher sees them: never the real one's folders.
export HOME="$work/home dir"
export XDG_DATA_HOME="$work/data home"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$work/elsewhere"

passed=0
failed=0
check() {  # DESCRIPTION COMMAND...: runs the command, counts the outcome
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failed=$((failed + 1))
        echo "FAIL: $what" >&2
    fi
}
fatal() {
    echo "FAIL: $*" >&2
    exit 1
}
same_text() { [ "$(cat "$1" 2>/dev/null)" = "$2" ]; }

name=$PKG_NAME
game_rel="$PKG_LIBEXECDIR/$name/snake"
data_rel="$PKG_DATADIR/$name/snake.dat"
launcher_rel="$PKG_BINDIR/$name"
desktop_rel="$PKG_DATADIR/applications/$name.desktop"

# ---------------------------------------------------------------- the .deb
echo "== building the package"
if ! (cd "$PKG_BUILD_DIR" && "$PKG_CPACK" -G DEB -B "$work/out" --config CPackConfig.cmake) >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fatal "cpack could not build the package"
fi
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fatal "cpack made ${#debs[@]} packages: ${debs[*]}"
deb=${debs[0]}
echo "package: $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
check "the package is named $name" [ "$(field Package)" = "$name" ]
check "its version is the project's, $PKG_VERSION" [ "$(field Version)" = "$PKG_VERSION" ]
check "it is filed under games" [ "$(field Section)" = games ]
check "it is built for this machine's architecture" [ "$(field Architecture)" = "$(dpkg --print-architecture)" ]
check "it names a maintainer" [ -n "$(field Maintainer)" ]

# No maintainer script: installing, upgrading and removing only ever touch
# the package's own files, never a player's folder.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -xE 'preinst|postinst|prerm|postrm|config|triggers' || true)
check "the package runs no maintainer script (found: ${scripts:-none})" [ -z "$scripts" ]

root="$work/unpacked root"
dpkg -x "$deb" "$root"
expected=$(printf '%s\n' "./usr/$launcher_rel" "./usr/$game_rel" "./usr/$data_rel" "./usr/$desktop_rel" \
    $(for size in $PKG_ICON_SIZES; do echo "./usr/$PKG_DATADIR/icons/hicolor/${size}x${size}/apps/$name.png"; done) | sort)
found=$(cd "$root" && find . ! -type d | sort)
check "the package holds the game's files and nothing else" [ "$found" = "$expected" ]
[ "$found" = "$expected" ] || diff <(echo "$expected") <(echo "$found") >&2 || true
check "everything it installs lies under /usr" [ "$(cd "$root" && ls -A)" = usr ]

game="$root/usr/$game_rel"
check "the game is an executable ELF program" bash -c '[ -x "$1" ] && readelf -h "$1" | grep -qE "Type: +(EXEC|DYN)"' _ "$game"
check "the packaged snake.dat is the one the build drew" cmp -s "$root/usr/$data_rel" "$PKG_BUILT_DAT"
launcher="$root/usr/$launcher_rel"
check "the launcher is an executable shell script" bash -c '[ -x "$1" ] && head -n1 "$1" | grep -q "^#!/bin/sh" && sh -n "$1"' _ "$launcher"

# -------------------------------------------------- dependencies
# The packages that own the libraries the game links directly: the only ones
# the package may depend on. The Allegro runtime must be among its depends.
owner_of() {
    local path=$1 candidate out
    for candidate in "$path" "/usr$path" "${path#/usr}" "$(readlink -f "$path")"; do
        out=$(dpkg -S "$candidate" 2>/dev/null) || continue
        out=$(grep -m1 -E '^[^ ]+: /' <<<"$out") || continue
        echo "${out%%:*}"
        return 0
    done
    return 1
}
allowed=()
allegro_package=
while read -r lib; do
    path=$(ldd "$game" | awk -v lib="$lib" '$1 == lib { print $3 }')
    owner=$(owner_of "$path") || fatal "no installed package owns $lib ($path)"
    allowed+=("$owner")
    case "$lib" in liballeg.*) allegro_package=$owner ;; esac
done < <(readelf -d "$game" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$allegro_package" ] || fatal "the game does not link the Allegro library"
depends=$(field Depends | tr ',' '\n' | sed 's/[(|].*//; s/[[:space:]]//g' | grep -v '^$' || true)
echo "depends: $(field Depends)"
echo "libraries linked from: ${allowed[*]}"
check "the package depends on the Allegro runtime, $allegro_package" grep -qxF "$allegro_package" <<<"$depends"
unexpected=$(grep -vxF -f <(printf '%s\n' "${allowed[@]}") <<<"$depends" || true)
check "it depends on nothing the game does not link (unexpected: ${unexpected:-none})" [ -z "$unexpected" ]

# -------------------------------------------------- desktop entry and icons
desktop="$root/usr/$desktop_rel"
# Warnings count too: a clean entry makes the validator say nothing.
validation=$(desktop-file-validate "$desktop" 2>&1) && valid=yes || valid=no
check "desktop-file-validate accepts the desktop entry${validation:+: $validation}" [ "$valid$validation" = yes ]
entry() { sed -n "s/^$1=//p" "$desktop"; }
check "the desktop entry runs the launcher" [ "$(entry Exec)" = "$(basename "$launcher_rel")" ]
check "the desktop entry is a game" bash -c 'grep -qE "(^|;)Game(;|$)" <<<"$1"' _ "$(entry Categories)"
check "the desktop entry opens no terminal" [ "$(entry Terminal)" = false ]
check "the desktop entry has an English and a French comment" bash -c '[ -n "$1" ] && [ -n "$2" ] && [ "$1" != "$2" ]' _ "$(entry Comment)" "$(entry 'Comment\[fr\]')"
for size in $PKG_ICON_SIZES; do
    icon="$root/usr/$PKG_DATADIR/icons/hicolor/${size}x${size}/apps/$(entry Icon).png"
    report=$(pngcheck "$icon" 2>&1) || true
    check "the desktop entry's ${size}x${size} icon is a valid ${size}x${size} PNG with an alpha channel ($report)" \
        grep -q "^OK: .*(${size}x${size}, 32-bit RGB+alpha" <<<"$report"
done

# -------------------------------------------------- the launcher
# The launcher execs the game, so the process started is the game itself.
# It shows its window, then loads snake.dat: a datafile it cannot load ends
# in xmessage's window instead.
# (The tree is read whole first: grep -q leaving early would break the pipe.)
windows() { xwininfo -root -tree 2>/dev/null || true; }
window_up() { grep -q ' 640x480+' <<<"$(windows)"; }
message_up() { grep -q '"xmessage"' <<<"$(windows)"; }

# Starts a launcher from another folder, through `env` with the given
# settings, and waits for the game's window.
start_game() {
    local launcher_path=$1
    shift
    (cd "$work/elsewhere" && exec env "$@" "$launcher_path") >"$work/game.log" 2>&1 &
    game_pid=$!
    local tries
    for ((tries = 0; tries < 150; tries++)); do
        if window_up; then
            sleep 1
            return 0
        fi
        if ! kill -0 "$game_pid" 2>/dev/null; then
            wait "$game_pid" || true
            game_pid=
            cat "$work/game.log" >&2
            return 1
        fi
        sleep 0.1
    done
    return 1
}

stop_game() {
    if [ -n "$game_pid" ]; then
        kill "$game_pid" 2>/dev/null || true
        wait "$game_pid" 2>/dev/null || true
        game_pid=
    fi
    local tries=0
    while window_up && [ $tries -lt 50 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
}

# The game runs, from `folder`, as `program`, with its datafile loaded.
game_runs() {
    local folder=$1 program=$2
    [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null &&
        [ "$(readlink "/proc/$game_pid/exe")" = "$(readlink -f "$program")" ] &&
        [ "$(readlink "/proc/$game_pid/cwd")" = "$(readlink -f "$folder")" ] &&
        ! message_up
}

# Runs the launcher once and checks that the game came up in `folder`.
play() {
    local what=$1 launcher_path=$2 folder=$3 program=$4
    shift 4
    if start_game "$launcher_path" "$@"; then
        check "$what: the game runs from the player's folder with its datafile" game_runs "$folder" "$program"
    else
        check "$what: the game's window opens" false
    fi
    stop_game
}

player="$XDG_DATA_HOME/$name"
scores="$player/scores.txt"
mkdir -p "$player"
echo 120 >"$scores"
touch -d '2020-02-02 12:00' "$scores"
scores_date=$(stat -c %Y "$scores")
record_kept() { same_text "$scores" 120 && [ "$(stat -c %Y "$scores")" = "$scores_date" ]; }
folder_state() { (cd "$player" && find . -type f -exec md5sum {} + | sort); }

echo "== installing into a throw-away root"
sysroot="$work/system root"
mkdir -p "$sysroot/var/lib/dpkg/info" "$sysroot/var/lib/dpkg/updates" "$sysroot/var/lib/dpkg/triggers"
touch "$sysroot/var/lib/dpkg/status"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(fakeroot)
# The libraries are this machine's: the throw-away root has none of them.
dpkg_in_root() { "${as_root[@]}" dpkg --root="$sysroot" --force-depends --force-script-chrootless "$@" >>"$work/dpkg.log" 2>&1; }
installed_game="$sysroot/usr/$game_rel"
installed_data="$sysroot/usr/$data_rel"
installed_launcher="$sysroot/usr/$launcher_rel"

check "dpkg installs the package" dpkg_in_root -i "$deb"
# Run as a menu or a desktop would: through a link, from another folder.
mkdir -p "$work/links"
ln -s "$installed_launcher" "$work/links/$name"
play "first start" "$work/links/$name" "$player" "$installed_game"
check "first start: the player's folder gets the installed snake.dat" cmp -s "$player/snake.dat" "$installed_data"
check "first start: the record, 120, is untouched" record_kept

before=$(folder_state)
check "dpkg reinstalls the package" dpkg_in_root -i "$deb"
check "reinstall: the player's folder is untouched" [ "$(folder_state)" = "$before" ]
play "after reinstalling" "$installed_launcher" "$player" "$installed_game"
check "after reinstalling: the player's folder is unchanged" [ "$(folder_state)" = "$before" ]

# The next version: its datafile has one entry more, and was made a second
# after the first one, long before the player first started the game: the
# launcher compares the versions of the datafile, not the days it was copied.
echo "== upgrading to a newer version"
next="$work/next version"
dpkg-deb -R "$deb" "$next"
sed -i "s/^Version: .*/Version: $PKG_VERSION+next/" "$next/DEBIAN/control"
echo "next version" >"$work/release note"
"$PKG_DAT_TOOL" -n0 -t DATA "$next/usr/$data_rel" -a "$work/release note" >/dev/null
touch -d "@$(($(stat -c %Y "$root/usr/$data_rel") + 1))" "$next/usr/$data_rel"
(cd "$next" && find usr -type f -exec md5sum {} + >DEBIAN/md5sums)
dpkg-deb --root-owner-group -b "$next" "$work/next.deb" >/dev/null
new_data="$next/usr/$data_rel"

check "dpkg upgrades to the next version" dpkg_in_root -i "$work/next.deb"
check "upgrade: the player's folder is untouched by dpkg" [ "$(folder_state)" = "$before" ]
play "after upgrading" "$installed_launcher" "$player" "$installed_game"
check "after upgrading: the launcher refreshed the player's snake.dat" cmp -s "$player/snake.dat" "$new_data"
check "after upgrading: the record, 120, is untouched" record_kept

echo "== downgrading to the first version"
check "dpkg downgrades to the first version" dpkg_in_root -i "$deb"
play "after downgrading" "$installed_launcher" "$player" "$installed_game"
check "after downgrading: the older installed snake.dat did not replace the player's" cmp -s "$player/snake.dat" "$new_data"
check "after downgrading: the record, 120, is untouched" record_kept

echo "== removing the package"
before=$(folder_state)
check "dpkg purges the package" dpkg_in_root --purge "$name"
check "purge: the game's files are gone" [ ! -e "$installed_game" -a ! -e "$installed_data" -a ! -e "$installed_launcher" ]
check "purge: the player's folder is untouched" [ "$(folder_state)" = "$before" ]
check "purge: the record, 120, is still there" record_kept

echo "== the launcher, unpacked anywhere"
# Without XDG_DATA_HOME, the player's folder is under ~/.local/share.
play "default folder" "$launcher" "$HOME/.local/share/$name" "$game" -u XDG_DATA_HOME
check "default folder: ~/.local/share/$name gets the installed snake.dat" \
    cmp -s "$HOME/.local/share/$name/snake.dat" "$root/usr/$data_rel"

# A missing datafile is reported, and no game or folder is started.
mv "$root/usr/$data_rel" "$work/set aside.dat"
status=0
(cd "$work/elsewhere" && XDG_DATA_HOME="$work/fresh home" timeout 20 "$launcher") >"$work/missing.log" 2>&1 || status=$?
check "missing datafile: the launcher fails at once (status $status)" [ "$status" -eq 1 ]
check "missing datafile: the message names snake.dat ($(cat "$work/missing.log"))" grep -q 'snake\.dat' "$work/missing.log"
check "missing datafile: no player's folder is made" [ ! -e "$work/fresh home" ]
mv "$work/set aside.dat" "$root/usr/$data_rel"

if [ "$failed" -ne 0 ]; then
    echo "dpkg said:" >&2
    cat "$work/dpkg.log" >&2
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
