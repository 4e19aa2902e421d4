#!/usr/bin/env bash
# 200 MB of mixed files (1 KB to 20 MB) copied from a folder to another folder
# on the same disk, in interleaved rounds of one run (medians):
#   - the transfer engine under Wine (one folder item, XP chunk of 320 KB,
#     flushing every 10 chunks and at each file's end, as it does on the player);
#   - a bare Wine loop of the same file calls with the same flushes, then with
#     only the end-of-file flush, then with none: what each flush point costs;
#   - `cp -r`, and `cp -r` followed by `sync` (the durable copy).
# Prints MB/s of each and the ratios; never fails on speed.
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

# cp is timed with bash's own clock, read in this shell: reading it through a
# process, or in a command substitution's subshell, would count a process
# start in cp's figures only.
ms_between() { awk -v a="$1" -v b="$2" 'BEGIN { print (b - a) * 1000 }'; }
rounds=${MB_BENCH_ROUNDS:-5}
declare -A times
run_wine() {
    local key=$1
    shift
    rm -rf "${work:?}/${key:?}"
    mkdir -p "$work/$key"
    sync
    local out
    out=$(MB_WINVER=winxp "$build/wine-run" "$exe" "$@" "$(zpath "$work/src/Music")" "$(zpath "$work/$key")\\") || {
        echo "bench-transfer: $key failed: $out" >&2
        exit 1
    }
    times[$key]+="$(echo "$out" | awk '{ print $1 }') "
    same_as_cp "$key"
}
# Every copy must hold the same tree as cp's, or the figures compare nothing.
# Checked and removed at once: the disk is shared, and only cp's copy stays.
same_as_cp() {
    [ -d "$work/cp/Music" ] || return 0
    if ! diff -r -q "$work/$1/Music" "$work/cp/Music" >/dev/null; then
        echo "bench-transfer: the $1 copy differs from cp's" >&2
        exit 1
    fi
    rm -rf "${work:?}/${1:?}"
}
run_cp() {
    local key=$1 durable=$2
    rm -rf "${work:?}/${key:?}"
    mkdir -p "$work/$key"
    sync
    local t0=$EPOCHREALTIME
    cp -r "$work/src/Music" "$work/$key/"
    [ "$durable" = 1 ] && sync
    local t1=$EPOCHREALTIME
    times[$key]+="$(ms_between "$t0" "$t1") "
    [ "$key" = cp ] || same_as_cp "$key"
}
for _ in $(seq 1 "$rounds"); do
    run_cp cp 0
    run_wine engine
    run_wine bare10 --bare 10 1
    run_wine bareend --bare 0 1
    run_wine barenone --bare 0 0
    run_cp cpsync 1
done
median() { printf '%s\n' $1 | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
rate() { awk -v m="$mb" -v ms="$1" 'BEGIN { printf "%.1f", m / (ms / 1000) }'; }
printf 'tree of %s MB, %d files, median of %d rounds\n' "$mb" "$i" "$rounds"
line() { local m; m=$(median "${times[$2]}"); printf '%-52s %8.1f ms %8s MB/s\n' "$1" "$m" "$(rate "$m")"; }
line 'CTransferEngine under Wine (320 KB chunks):' engine
line 'bare Wine loop, same calls and flushes:' bare10
line 'bare Wine loop, flush at each file end only:' bareend
line 'bare Wine loop, no flush:' barenone
line 'cp -r:' cp
line 'cp -r; sync (durable copy):' cpsync
ratio() { awk -v a="$(median "${times[$1]}")" -v b="$(median "${times[$2]}")" 'BEGIN { printf "%.2f", b / a }'; }
printf 'ratio engine / durable copy throughput:               %8s\n' "$(ratio engine cpsync)"
printf 'ratio engine / cp -r throughput:                      %8s\n' "$(ratio engine cp)"
printf 'ratio engine / bare loop with the same flushes:       %8s\n' "$(ratio engine bare10)"
