#!/usr/bin/env bash
# The Debian package as a player meets it. Takes the .deb scripts/package.sh
# built with Debian's tools (the test command runs lintian and autopkgtest
# on it, and builds it twice to compare); unpacks it with dpkg -x to check its files, its desktop entry, its AppStream
# metainfo, its manual pages, its copyright file and changelog, its icons and
# its dependencies; then installs it with dpkg into a throw-away root and
# starts the game through the launcher: after the first install, a
# reinstall, an upgrade and a downgrade, and checks that the player's folder,
# with its record, outlives a removal of the package. Last, the launcher
# meets a table of bad player's folders (a damaged snake.dat, a folder in
# its way, a full or read-only disk, two launches at once).
#
# Runs on an X display (ctest starts it under xvfb-run). Everything it needs
# comes from the environment ctest sets: PKG_DEB_DIR, PKG_BUILT_DAT, PKG_DAT_TOOL, PKG_NAME, PKG_VERSION, PKG_APP_ID, PKG_LAUNCHER,
# PKG_GAME, PKG_DATA, PKG_DATADIR, PKG_MANDIR and PKG_ICON_SIZES (the paths
# relative to /usr).
set -euo pipefail

for tool in dpkg dpkg-deb desktop-file-validate appstreamcli man pngcheck xwininfo xmessage pgrep readelf ldd cmp "$PKG_DAT_TOOL"; do
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
mounts=()
cleanup() {
    local pid mount
    for pid in $game_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    # Lazily: a process left behind in one (a stray message box) must not keep
    # the small file systems mounted.
    for mount in "${mounts[@]}"; do umount -l "$mount" 2>/dev/null || true; done
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
game_rel=$PKG_GAME
data_rel=$PKG_DATA
launcher_rel=$PKG_LAUNCHER
desktop_rel="$PKG_DATADIR/applications/$PKG_APP_ID.desktop"
metainfo_rel="$PKG_DATADIR/metainfo/$PKG_APP_ID.metainfo.xml"
doc_rel="$PKG_DATADIR/doc/$name"
man_rel="$PKG_MANDIR/man6/$name.6.gz"
man_fr_rel="$PKG_MANDIR/fr/man6/$name.6.gz"

# ---------------------------------------------------------------- the .deb
debs=("$PKG_DEB_DIR/${PKG_NAME}_$PKG_VERSION"-*_"$(dpkg --print-architecture)".deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] ||
    fatal "no package ${PKG_NAME}_$PKG_VERSION in $PKG_DEB_DIR: run scripts/package.sh first"
deb=${debs[0]}
echo "package: $deb"

field() { dpkg-deb -f "$deb" "$1"; }
check "the package is named $name" [ "$(field Package)" = "$name" ]
check "its version is the project's, $PKG_VERSION" bash -c '[[ "$1" == "$2"-* ]]' _ "$(field Version)" "$PKG_VERSION"
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
    "./usr/$metainfo_rel" "./usr/$man_rel" "./usr/$man_fr_rel" "./usr/$doc_rel/copyright" "./usr/$doc_rel/changelog.Debian.gz" \
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

# -------------------------------------------------- manual pages and documents
# man reads each page as lintian does; any warning of the formatter fails.
man_warnings() {
    LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null
}
man_text() { LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$1" 2>/dev/null; }  # plain text: man strips the formatting for a pipe
for page in "$man_rel" "$man_fr_rel"; do
    warnings=$(man_warnings "$root/usr/$page" || echo "man failed")
    check "the manual page $page reads without warnings${warnings:+: $warnings}" [ -z "$warnings" ]
done
check "the English manual page names the command, the keys, the files and the exit status" bash -c \
    'grep -q "^NAME" <<<"$1" && grep -q "^KEYS" <<<"$1" && grep -q "scores.txt" <<<"$1" && grep -q "XDG_DATA_HOME" <<<"$1" && grep -q "^EXIT STATUS" <<<"$1"' \
    _ "$(man_text "$root/usr/$man_rel")"
check "the French manual page is in French, accents included" bash -c \
    'grep -q "^NOM" <<<"$1" && grep -q "^TOUCHES" <<<"$1" && grep -q "réglages" <<<"$1"' _ "$(man_text "$root/usr/$man_fr_rel")"
copyright="$root/usr/$doc_rel/copyright"
check "the copyright file is in Debian's machine-readable format, under the Expat licence" bash -c \
    'head -n1 "$1" | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" &&
     grep -qx "License: Expat" "$1" && grep -q "^ Permission is hereby granted" "$1"' _ "$copyright"
changelog="$root/usr/$doc_rel/changelog.Debian.gz"
check "the changelog is compressed and begins with this version" bash -c \
    'gzip -t "$1" && zcat "$1" | head -n1 | grep -qF "$2 ($3-"' _ "$changelog" "$name" "$PKG_VERSION"

# -------------------------------------------------- AppStream metainfo
# Checked alone, then with the desktop entry and icons it names, offline.
metainfo="$root/usr/$metainfo_rel"
# Nothing reported: no error, warning, info or pedantic note, only the
# success line ("Validation was successful: infos: 2" would not do).
appstream_silent() {
    local report
    report=$(LC_ALL=C appstreamcli "$@" 2>&1) || { echo "$report"; return 1; }
    [ "$(sed 's/^[^V]*//' <<<"$report")" = "Validation was successful." ] || { echo "$report"; return 1; }
}
check "appstreamcli validates the metainfo with nothing to report" appstream_silent validate --no-net --pedantic "$metainfo"
check "appstreamcli validates the installed tree, desktop entry included, with nothing to report" \
    appstream_silent validate-tree --no-net --pedantic "$root"
check "the metainfo launches the desktop entry and provides the command" bash -c \
    'grep -qF "<launchable type=\"desktop-id\">$(basename "$2")</launchable>" "$1" && grep -qF "<binary>$3</binary>" "$1"' \
    _ "$metainfo" "$desktop_rel" "$name"
check "the metainfo lists this version among its releases" grep -qF "<release version=\"$PKG_VERSION\"" "$metainfo"

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
game_windows() { grep -c '("snake-game" "snake-game")' <<<"$(windows)" || true; }
window_up() { [ "$(game_windows)" -gt 0 ]; }
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
    local pid
    for pid in $game_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    game_pid=
    local tries=0
    while window_up && [ $tries -lt 50 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
}

# The game runs, from `folder`, as `program`, with its datafile loaded.
game_runs() {
    local folder=$1 program=$2 pid=${3:-$game_pid}
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null &&
        [ "$(readlink "/proc/$pid/exe")" = "$(readlink -f "$program")" ] &&
        [ "$(readlink "/proc/$pid/cwd")" = "$(readlink -f "$folder")" ] &&
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

# The player's snake.dat is a link to the installed datafile itself.
linked_to() { [ -L "$1/snake.dat" ] && [ "$(readlink -f "$1/snake.dat")" = "$(readlink -f "$2")" ]; }

player="$XDG_DATA_HOME/$name"
scores="$player/scores.txt"
mkdir -p "$player"
echo 120 >"$scores"
touch -d '2020-02-02 12:00' "$scores"
scores_date=$(stat -c %Y "$scores")
record_kept() { same_text "$1/scores.txt" 120 && [ "$(stat -c %Y "$1/scores.txt")" = "$scores_date" ]; }
# Every entry of the folder, with link targets and the files' sums.
folder_state() { (cd "$1" && find . -mindepth 1 -printf '%y %p %l\n' | sort && find . -type f -exec md5sum {} + | sort); }

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
check "first start: the player's snake.dat is a link to the installed one" linked_to "$player" "$installed_data"
check "first start: the record, 120, is untouched" record_kept "$player"

before=$(folder_state "$player")
check "dpkg reinstalls the package" dpkg_in_root -i "$deb"
check "reinstall: the player's folder is untouched" [ "$(folder_state "$player")" = "$before" ]
play "after reinstalling" "$installed_launcher" "$player" "$installed_game"
check "after reinstalling: the player's folder is unchanged" [ "$(folder_state "$player")" = "$before" ]

# The next version: its datafile has one entry more, and was made a second
# after the first one, long before the player first started the game.
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
check "upgrade: the player's folder is untouched by dpkg" [ "$(folder_state "$player")" = "$before" ]
play "after upgrading" "$installed_launcher" "$player" "$installed_game"
check "after upgrading: the player's snake.dat is the new one" cmp -s "$player/snake.dat" "$new_data"
check "after upgrading: the record, 120, is untouched" record_kept "$player"

# Whatever the dates, the game plays with the datafile installed with it.
echo "== downgrading to the first version"
check "dpkg downgrades to the first version" dpkg_in_root -i "$deb"
play "after downgrading" "$installed_launcher" "$player" "$installed_game"
check "after downgrading: the player's snake.dat is the first version's again" cmp -s "$player/snake.dat" "$root/usr/$data_rel"
check "after downgrading: the record, 120, is untouched" record_kept "$player"

echo "== removing the package"
before=$(folder_state "$player")
check "dpkg purges the package" dpkg_in_root --purge "$name"
check "purge: the game's files are gone" [ ! -e "$installed_game" -a ! -e "$installed_data" -a ! -e "$installed_launcher" ]
check "purge: the player's folder is untouched" [ "$(folder_state "$player")" = "$before" ]
check "purge: the record, 120, is still there" record_kept "$player"

echo "== the launcher, unpacked anywhere"
# --help and --version answer and end; they start no game, and neither does
# any other argument, which the game would not read: it gets the usage on
# stderr and status 2.
help=$(timeout 10 "$launcher" --help) && status=0 || status=$?
check "--help: status 0, a few lines naming --version and F11, no game ($status: $help)" bash -c \
    '[ "$1" -eq 0 ] && [ "$(wc -l <<<"$2")" -le 10 ] && grep -q -- --version <<<"$2" && grep -q F11 <<<"$2" && [ "$3" -eq 0 ]' \
    _ "$status" "$help" "$(game_windows)"
check "--version: $name $PKG_VERSION" [ "$(timeout 10 "$launcher" --version)" = "$name $PKG_VERSION" ]
for args in -h -x -- scores.txt --version=2 "--help --version"; do
    usage=$(timeout 10 "$launcher" $args 2>&1 >/dev/null) && status=0 || status=$?
    check "$args: the usage on stderr, status 2, no game ($status: $usage)" bash -c \
        '[ "$1" -eq 2 ] && grep -q "^Usage: " <<<"$2" && [ "$3" -eq 0 ]' _ "$status" "$usage" "$(game_windows)"
done
# Without XDG_DATA_HOME, the player's folder is under ~/.local/share.
play "default folder" "$launcher" "$HOME/.local/share/$name" "$game" -u XDG_DATA_HOME
check "default folder: ~/.local/share/$name gets a link to the installed snake.dat" \
    linked_to "$HOME/.local/share/$name" "$root/usr/$data_rel"

# ------------------------------------------- the launcher in bad surroundings
# Each case prepares a player's folder (with the record, 120), runs the
# launcher on it and expects either the game, with snake.dat a link to the
# installed datafile, or a refusal: status 1, a message naming the culprit
# on stderr and in xmessage's window, and the folder left as it was. Either
# way the record is untouched and no other file is left behind.
data="$root/usr/$data_rel"
damaged() { head -c 4000 "$data" >"$1/snake.dat"; touch -d '+1 day' "$1/snake.dat"; }
damaged_older() { head -c 4000 "$data" >"$1/snake.dat"; touch -d '2001-01-01' "$1/snake.dat"; }
older_copy() { cp "$new_data" "$1/snake.dat"; touch -d '2001-01-01' "$1/snake.dat"; }
edited_newer() { cp "$data" "$1/snake.dat"; printf 'X' | dd of="$1/snake.dat" bs=1 seek=100 conv=notrunc status=none; touch -d '+1 day' "$1/snake.dat"; }
stale_link() { ln -s "/nonexistent/$name/snake.dat" "$1/snake.dat"; }
folder_in_way() { mkdir "$1/snake.dat"; echo "the player's own" >"$1/snake.dat/notes"; }
no_datafile() { mv "$data" "$work/set aside.dat"; }
datafile_back() { mv "$work/set aside.dat" "$data"; }
# A read-only disk, and a full one: small memory file systems, which only
# root may mount (skipped otherwise). A link takes no room on a full disk,
# as long as its target is short enough to be kept in the link itself.
can_mount=no
probe="$work/mount probe"
mkdir -p "$probe"
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=64k tmpfs "$probe" 2>/dev/null; then
    umount "$probe"
    can_mount=yes
fi
mount_small() { mount -t tmpfs -o size=256k tmpfs "$1" && mounts+=("$1"); }
read_only() { damaged "$1"; mount -o remount,ro "$(dirname "$1")"; }
full_disk() {
    damaged_older "$1"
    dd if=/dev/zero of="$(dirname "$1")/filler" bs=4k status=none 2>/dev/null || true
}
full_disk_outcome=game
[ "${#data}" -lt 128 ] || full_disk_outcome=refused

# Runs the launcher on a folder it must refuse; checks the refusal.
refused() {
    local what=$1 folder=$2 culprit=$3 before pid box= tries status=0 text
    before=$(folder_state "$folder" 2>/dev/null || true)
    (cd "$work/elsewhere" && exec env XDG_DATA_HOME="$(dirname "$folder")" "$launcher") >"$work/refused.log" 2>&1 &
    pid=$!
    for ((tries = 0; tries < 150; tries++)); do
        box=$(pgrep -P "$pid" -x xmessage || true)
        [ -n "$box" ] && message_up && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    text=$([ -n "$box" ] && tr '\0' '\n' <"/proc/$box/cmdline" | tail -n1 || true)
    check "$what: the launcher shows its message in a window (${text:-none})" bash -c '[ -n "$1" ] && grep -qF -- "$2" <<<"$1"' _ "$text" "$culprit"
    # Without a box to close, whatever still runs (a game started after all)
    # is stopped, so that the test goes on.
    if [ -n "$box" ]; then kill "$box" 2>/dev/null || true; else kill "$pid" 2>/dev/null || true; fi
    wait "$pid" || status=$?
    check "$what: the launcher ends with status 1 (status $status)" [ "$status" -eq 1 ]
    check "$what: stderr names $culprit ($(cat "$work/refused.log"))" grep -qF -- "$culprit" "$work/refused.log"
    check "$what: no game started" [ "$(game_windows)" -eq 0 ]
    check "$what: the folder is left as it was" [ "$(folder_state "$folder" 2>/dev/null || true)" = "$before" ]
}

# case | prepares the folder | outcome | culprit named when refused
cases=(
    "damaged copy, dated after the installed one|damaged|game|"
    "copy of another version, older|older_copy|game|"
    "copy edited, dated after the installed one|edited_newer|game|"
    "link to a datafile no longer there|stale_link|game|"
    "folder named snake.dat in the way|folder_in_way|refused|snake.dat"
    "installed datafile missing|no_datafile|refused|snake.dat"
    "read-only disk under a damaged copy|read_only|refused|snake.dat"
    "full disk under an old damaged copy|full_disk|$full_disk_outcome|snake.dat"
    "two launches at once on an old damaged copy|damaged_older|two games|"
)
for row in "${cases[@]}"; do
    IFS='|' read -r what prepare outcome culprit <<<"$row"
    echo "== $what"
    home="$work/case $what"
    folder="$home/$name"
    mkdir -p "$home"
    case $prepare in
        read_only | full_disk)
            if [ "$can_mount" = no ]; then
                echo "skipped: mounting a small file system needs root"
                continue
            fi
            mount_small "$home" || fatal "$what: cannot mount a small file system"
            ;;
    esac
    mkdir -p "$folder"
    cp -p "$scores" "$folder/scores.txt"
    "$prepare" "$folder"
    case $outcome in
        game)
            play "$what" "$launcher" "$folder" "$game" XDG_DATA_HOME="$home"
            check "$what: snake.dat is now a link to the installed datafile" linked_to "$folder" "$data"
            ;;
        "two games")
            pids=
            for _ in 1 2; do
                (cd "$work/elsewhere" && exec env XDG_DATA_HOME="$home" "$launcher") >>"$work/game.log" 2>&1 &
                pids="$pids $!"
            done
            game_pid=$pids
            for ((tries = 0; tries < 150; tries++)); do
                [ "$(game_windows)" -ge 2 ] && break
                sleep 0.1
            done
            for pid in $pids; do
                check "$what: game $pid runs from the player's folder" game_runs "$folder" "$game" "$pid"
            done
            stop_game
            check "$what: snake.dat is a link to the installed datafile" linked_to "$folder" "$data"
            ;;
        refused)
            refused "$what" "$folder" "$culprit"
            ;;
    esac
    [ "$prepare" != no_datafile ] || datafile_back
    leftovers=$(cd "$folder" && find . -mindepth 1 -maxdepth 1 ! -name scores.txt ! -name snake.dat)
    check "$what: nothing else is left in the folder${leftovers:+: $leftovers}" [ -z "$leftovers" ]
    check "$what: the record, 120, is untouched" record_kept "$folder"
done

if [ "$failed" -ne 0 ]; then
    echo "dpkg said:" >&2
    cat "$work/dpkg.log" >&2
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
