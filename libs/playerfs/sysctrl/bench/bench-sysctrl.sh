#!/usr/bin/env bash
# Order write of a folder of 2,000 and of 10,000 long-named files in a 64 MB
# FAT16 image: CQV_SysCtrl's InitDirectory + SetFileOrder against fatsort
# sorting the same folder of a copy, in interleaved rounds (medians):
#   - the optimised native build of the core (build/bench-native);
#   - the same calls under Wine (build/win64, Windows code pages), timed
#     inside the program, with Wine's bare start-up (the program started only
#     to end) measured beside it.
# All three end with the folder in reverse name order, and their images must
# be the same bytes before any figure is printed. Never fails on speed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
top=$(cd "$here/../../.." && pwd)
native=${MB_BENCH_NATIVE:-$top/build/bench-native}/libs/playerfs/sysctrl/sysctrl_bench
build=$top/build/win64
exe=$build/bin/sysctrl_bench.exe
[ -x "$native" ] || { echo "bench-sysctrl: run scripts/bench.sh, which builds $native" >&2; exit 1; }
[ -f "$exe" ] && [ -x "$build/wine-run" ] || { echo "bench-sysctrl: build win64 first (scripts/build.sh)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-sysctrl.XXXXXX")
trap 'rm -rf "$work"' EXIT
rounds=${MB_BENCH_ROUNDS:-5}

# Every side is timed alike: bash's own clock, read in this shell (a command
# substitution forks a subshell, which would count a fork in every figure),
# each program's output to a file.
zpath() { printf 'Z:%s' "${1//\//\\}"; }
wine() { MB_WINVER=winxp "$build/wine-run" "$exe" "$@" 2>/dev/null | tr -d '\r'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) / 1e3 }'; }
wine --start >/dev/null   # the prefix is made once, outside the rounds
for kind in big huge; do
    "$here/scripts/make-image.sh" "$kind" "$work/base.img"
    "$here/scripts/dirlist.py" "$work/base.img" ::/BIG | tail -n +2 | LC_ALL=C sort -r >"$work/names.txt"
    count=$(wc -l <"$work/names.txt")
    ours=() calls=() wines=() wcalls=() bare=() theirs=()
    for _ in $(seq 1 "$rounds"); do
        for side in native wine fatsort; do cp "$work/base.img" "$work/$side.img"; done
        sync
        t0=${EPOCHREALTIME/./}
        "$native" "$work/native.img" 'P:\BIG\' "$work/names.txt" >"$work/out"
        t1=${EPOCHREALTIME/./}
        out=$(cat "$work/out")
        [ "${out#* }" = QV_SUCCESS ] || { echo "bench-sysctrl: native order write: $out" >&2; exit 1; }
        ours+=("$(ms "$t0" "$t1")") calls+=("${out%% *}")
        t0=${EPOCHREALTIME/./}
        wine "$(zpath "$work/wine.img")" 'P:\BIG\' "$(zpath "$work/names.txt")" >"$work/out"
        t1=${EPOCHREALTIME/./}
        out=$(cat "$work/out")
        [ "${out#* }" = QV_SUCCESS ] || { echo "bench-sysctrl: order write under Wine: $out" >&2; exit 1; }
        wines+=("$(ms "$t0" "$t1")") wcalls+=("${out%% *}")
        t0=${EPOCHREALTIME/./}
        wine --start >/dev/null
        t1=${EPOCHREALTIME/./}
        bare+=("$(ms "$t0" "$t1")")
        t0=${EPOCHREALTIME/./}
        LC_ALL=C.UTF-8 fatsort -q -a -r -d /BIG "$work/fatsort.img" >/dev/null 2>&1
        t1=${EPOCHREALTIME/./}
        theirs+=("$(ms "$t0" "$t1")")
    done
    # The same bytes, or the figures compare nothing.
    for side in native wine; do
        if ! cmp -s "$work/$side.img" "$work/fatsort.img"; then
            echo "bench-sysctrl: the $side image differs from fatsort's ($count entries)" >&2
            exit 1
        fi
    done
    o=$(median "${ours[@]}") c=$(median "${calls[@]}") f=$(median "${theirs[@]}")
    w=$(median "${wines[@]}") wc=$(median "${wcalls[@]}") b=$(median "${bare[@]}")
    printf 'order write, %5d entries (same bytes as fatsort), median of %d rounds:\n' "$count" "$rounds"
    printf '  fatsort -a -r:        %8.1f ms\n' "$f"
    printf '  native core:          %8.1f ms (calls alone %7.1f ms)   ratio %.2f (goal at most 0.35)\n' \
        "$o" "$c" "$(awk -v a="$o" -v b="$f" 'BEGIN { print a / b }')"
    printf '  under Wine:           %8.1f ms (calls alone %7.1f ms)   ratio of the calls %.2f (goal at most 0.35)\n' \
        "$w" "$wc" "$(awk -v a="$wc" -v b="$f" 'BEGIN { print a / b }')"
    printf '  Wine bare start-up:   %8.1f ms (the whole run less it: %.1f ms, ratio %.2f)\n' \
        "$b" "$(awk -v a="$w" -v b="$b" 'BEGIN { print a - b }')" "$(awk -v a="$w" -v b="$b" -v f="$f" 'BEGIN { print (a - b) / f }')"
done
