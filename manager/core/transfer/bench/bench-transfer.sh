#!/usr/bin/env bash
# 200 MB of mixed files (1 KB to 20 MB) copied from a folder to another folder
# on the same disk: the transfer engine under Wine (one folder item, XP chunk
# of 320 KB, flushing every 10 chunks as it does on the player) against
# `cp -r` of the same tree, in one run. Prints MB/s of both and the ratio;
# never fails on speed.
set -euo pipefail
top=$(cd "$(dirname "$0")/../../../.." && pwd)
build=$top/build/win64
exe=$build/bin/transfer_bench.exe
if [ ! -x "$build/wine-run" ] || [ ! -f "$exe" ]; then
    echo "bench-transfer: build win64 first (scripts/build.sh)" >&2
    exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-transfer.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/Music"

# Sizes cycle through 1 KB .. 20 MB until 200 MB are reached.
sizes=(1024 7000 65536 300000 1048576 3145728 20971520 150000 5242880 12000 2097152 10485760)
total=0 i=0
while [ "$total" -lt $((200 * 1024 * 1024)) ]; do
    s=${sizes[$((i % ${#sizes[@]}))]}
    sub=$work/src/Music/Album$((i % 7))
    mkdir -p "$sub"
    head -c "$s" /dev/urandom >"$sub/track$i.mp3"
    total=$((total + s))
    i=$((i + 1))
done
mb=$(awk -v b="$total" 'BEGIN { printf "%.1f", b / 1048576 }')
zpath() { printf 'Z:%s' "${1//\//\\}"; }

now() { date +%s.%N; }
ours=() theirs=()
for round in 1 2 3; do
    rm -rf "$work/engine" "$work/cp"
    mkdir -p "$work/engine" "$work/cp"
    sync
    out=$(MB_WINVER=winxp "$build/wine-run" "$exe" "$(zpath "$work/src/Music")" "$(zpath "$work/engine")\\")
    ours+=("$(echo "$out" | awk '{ print $1 }')")
    sync
    t0=$(now)
    cp -r "$work/src/Music" "$work/cp/"
    t1=$(now)
    theirs+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print (b - a) * 1000 }')")
done
# Both copies must hold the same tree, or the figures compare nothing.
if ! diff -r -q "$work/engine/Music" "$work/cp/Music" >/dev/null; then
    echo "bench-transfer: the two copies differ" >&2
    exit 1
fi
best() { printf '%s\n' "$@" | sort -n | head -1; }
o=$(best "${ours[@]}")
c=$(best "${theirs[@]}")
rate() { awk -v m="$mb" -v ms="$1" 'BEGIN { printf "%.1f", m / (ms / 1000) }'; }
printf 'tree of %s MB, %d files\n' "$mb" "$i"
printf 'CTransferEngine under Wine (320 KB chunks): %8.1f ms %8s MB/s\n' "$o" "$(rate "$o")"
printf 'cp -r:                                      %8.1f ms %8s MB/s\n' "$c" "$(rate "$c")"
printf 'ratio engine / cp throughput:               %8.2f\n' "$(awk -v a="$o" -v b="$c" 'BEGIN { print b / a }')"
