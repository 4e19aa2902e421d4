#!/usr/bin/env bash
# Start-up time of MusicBridge.exe with the simulated player attached, against
# Wine's own notepad started and measured the same way, in interleaved rounds
# of one run: the milliseconds from CreateProcess until the program's first
# visible window (startup_bench.exe, inside the prefix, so Wine's server is
# already up for both). Prints the medians and the ratio; never fails on speed.
set -uo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
MB_BUILD_DIR=$top/build/win64
MB_SOURCE_DIR=$top
MB_PREFIX=bench-startup
rounds=${MB_BENCH_ROUNDS:-7}
launcher=$MB_BUILD_DIR/bin/startup_bench.exe
if [ ! -f "$launcher" ] || [ ! -f "$MB_BUILD_DIR/bin/MusicBridge.exe" ]; then
    echo "bench-startup: build win64 first (scripts/build.sh)" >&2
    exit 1
fi
source "$top/scripts/wine-env.sh"
source "$top/scripts/sim-player.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-startup.XXXXXX")
display_pid=""
cleanup() {
    mb_player_stop "$work/state"
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$top/scripts/demo/make-demo.py" "$top/build/demo" >/dev/null || exit 1
cp "$top/build/demo/player.img" "$work/player.img"
mb_wine_ready || exit 1
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 200 249); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        display_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
        break
    done
fi
"$top/scripts/install-windows.sh" "$MB_BUILD_DIR" "$WINEPREFIX" >/dev/null || exit 1
mb_player_start "$work/state" "$work/player.img" x "d:=$top/build/demo/pc-music" || exit 1
cp "$launcher" "$WINEPREFIX/drive_c/startup_bench.exe"

program='C:\Program Files\MusicBridge'
one() { mb_wine_quiet_out "$MB_WINE" 'C:\startup_bench.exe' "$@"; }
mb_wine_quiet_out() { "$@" 2>/dev/null | tr -d '\r'; }
# A first start of each fills the caches; it is not counted.
one "$program" "$program\\MusicBridge.exe" >/dev/null
one 'C:\windows' notepad.exe >/dev/null
ours=() theirs=()
for _ in $(seq 1 "$rounds"); do
    o=$(one "$program" "$program\\MusicBridge.exe") && ours+=("$o")
    n=$(one 'C:\windows' notepad.exe) && theirs+=("$n")
done
if [ ${#ours[@]} -eq 0 ] || [ ${#theirs[@]} -eq 0 ]; then
    echo "bench-startup: a program showed no window" >&2
    exit 1
fi
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
o=$(median "${ours[@]}")
n=$(median "${theirs[@]}")
printf 'start-up until the first window is shown, median of %d rounds\n' "$rounds"
printf 'MusicBridge.exe (player attached): %8.1f ms\n' "$o"
printf 'notepad.exe (Wine):                %8.1f ms\n' "$n"
printf 'ratio MusicBridge / notepad:       %8.2f\n' "$(awk -v a="$o" -v b="$n" 'BEGIN { print a / b }')"
