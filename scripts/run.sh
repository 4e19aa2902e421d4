#!/usr/bin/env bash
# Runs MusicBridge on the simulated Vilo Lark under Wine: the main job.
#
#   scripts/run.sh [manager|updater|listforge] [--screenshot FILE] [--fresh]
#
# Installs what is missing (packages, build), makes the demo content once
# (build/demo), starts the simulated player (its memory daemon serving
# build/run/player.img as drive X:, the stand-in driver answering as the
# player on X:), installs the programs into the run prefix the way a Windows
# installer leaves them, and starts the program on the user's display. With no
# display it uses an Xvfb display, writes a screenshot (FILE, or
# build/run/<program>.png) once the window has settled, and closes it.
# Ctrl+C or closing the window stops the player and cleans up.
#   --fresh   the player's memory starts again from the demo image, and the
#             PC pane on the demo music (D:)
#   --settle SECONDS   how long to wait before the screenshot (default 8)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

program=manager
screenshot=""
fresh=0
settle=8
while [ $# -gt 0 ]; do
    case "$1" in
        manager|updater|listforge) program=$1 ;;
        --screenshot) screenshot=${2:?--screenshot needs a file}; shift ;;
        --fresh) fresh=1 ;;
        --settle) settle=${2:?--settle needs seconds}; shift ;;
        -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
        *) echo "run.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
    esac
    shift
done

say() { echo "run.sh: $*" >&2; }
die() { say "$*"; exit 1; }

# 1. Packages and build, when missing.
"$top/scripts/setup-debian.sh" --if-missing || die "the packages could not be installed"
MB_BUILDS="win64 native" "$top/scripts/build.sh" >"$top/build/run-build.log" 2>&1 ||
    { tail -30 "$top/build/run-build.log" >&2; die "the build failed (build/run-build.log)"; }

MB_BUILD_DIR="$top/build/win64"
MB_SOURCE_DIR="$top"
MB_PREFIX=run
source "$top/scripts/wine-env.sh"
source "$top/scripts/sim-player.sh"
run_dir="$top/build/run"
state="$run_dir/state"
mkdir -p "$run_dir"

# 2. Demo content (once) and the player's memory.
"$top/scripts/demo/make-demo.py" "$top/build/demo" || die "the demo content could not be made"
if [ "$fresh" = 1 ] || [ ! -f "$run_dir/player.img" ]; then
    cp -f "$top/build/demo/player.img" "$run_dir/player.img" || die "cannot copy the demo memory"
fi

# 3. The prefix with the programs installed.
seed_recent=$fresh
[ -f "$WINEPREFIX/.mb-ready" ] || seed_recent=1
mb_wine_ready || die "the Wine prefix could not be made"
# The run prefix starts as a copy of the tests' prefix: their drives (the PC
# pane would list them) and their recent paths (the PC pane would start in a
# test's folder, an empty one for instance) are not the demo's. Only the
# player (X:, mapped below) and the demo music (D:) stay.
for link in "$WINEPREFIX"/dosdevices/[e-y]:*; do
    [ -L "$link" ] && rm -f "$link"
done
app_key='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\MusicBridge.exe'
recent=$(grep -A20 -F '[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MusicBridge.exe]' \
    "$WINEPREFIX/system.reg" 2>/dev/null | sed -n 's/^"Path0"="\(.\).*/\1/p' | head -1)
case "${recent^^}" in
    C|D|X) ;;
    *) seed_recent=1 ;;
esac
mb_display_started=""
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 150 199); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        mb_display_started=$!
        export DISPLAY=":$n"
        for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        break
    done
    [ -n "$mb_display_started" ] || die "no X display and no free Xvfb number"
    [ -n "$screenshot" ] || screenshot="$run_dir/$program.png"
fi
"$top/scripts/install-windows.sh" "$MB_BUILD_DIR" "$WINEPREFIX" || die "the programs could not be installed in the prefix"
if [ "$seed_recent" = 1 ]; then
    # A new start: the PC pane opens on the demo music, as if it was the
    # last folder browsed.
    {
        printf 'REGEDIT4\n\n[%s]\n"Path0"="D:\\\\"\n' "$app_key"
        for n in 1 2 3 4 5 6 7 8 9; do printf '"Path%d"=-\n' "$n"; done
    } >"$run_dir/recent.reg"
    mb_wine_quiet "$MB_WINE" regedit /S "$(winepath_of "$run_dir/recent.reg")" ||
        say "the recent paths could not be reset"
fi
install_dir="$WINEPREFIX/drive_c/Program Files/MusicBridge"

cleanup() {
    trap - EXIT INT TERM
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
    mb_player_stop "$state"
    [ -n "$mb_display_started" ] && kill "$mb_display_started" 2>/dev/null
    return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# 4. The simulated player: memory on X:, the driver answering as the player there.
mb_player_start "$state" "$run_dir/player.img" x "d:=$top/build/demo/pc-music" ||
    die "the simulated player did not start"

# 5. The program.
case "$program" in
    manager) exe="MusicBridge.exe"; title="Vilo Music Bridge" ;;
    updater) exe="QvUpdaterApp.exe"; title="" ;;
    listforge) exe="ListForge.exe"; title="ListForge" ;;
esac
[ -f "$install_dir/$exe" ] || die "$exe is not built yet"
args=()
[ "$program" = listforge ] && args=('X:\')
say "starting $exe on display $DISPLAY (player on X:, demo music on D:)"
(cd "$install_dir" && exec "$MB_WINE" "$exe" "${args[@]}" </dev/null >"$run_dir/$program.log" 2>&1) &
app_pid=$!

if [ -n "$screenshot" ]; then
    # Wait for the program's first window, let it settle, then take the picture.
    wid=""
    for _ in $(seq 1 120); do
        kill -0 "$app_pid" 2>/dev/null || break
        wid=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | tail -1)
        [ -z "$wid" ] && [ -n "$title" ] && wid=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | tail -1)
        [ -n "$wid" ] && break
        sleep 0.5
    done
    [ -n "$wid" ] || die "$exe showed no window (see build/run/$program.log)"
    sleep "$settle"
    import -window root "$screenshot" 2>/dev/null || die "no screenshot could be taken"
    say "screenshot written to $screenshot"
    if [ -n "$mb_display_started" ]; then
        xdotool windowclose "$wid" 2>/dev/null || true
        for _ in $(seq 1 20); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.5; done
        exit 0
    fi
fi
wait "$app_pid"
