#!/usr/bin/env bash
# Formats data areas of 512 MB, 1 GB and 2,047 MB into an image through the
# updater's formatter (every run written and read back) and, in the same run,
# makes a FAT16 file system on an image of the same size with mkfs.fat; prints
# both times and their ratio (medians of interleaved runs). Never fails on
# speed. Times the optimised build of scripts/bench.sh (build/bench-native).
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
bench="${MB_BENCH_NATIVE:-$top/build/bench-native}/updater/format/qv_format_bench"
mkfs=$(command -v mkfs.fat || echo /usr/sbin/mkfs.fat)
[ -x "$bench" ] || { echo "run scripts/bench.sh, which builds $bench" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=9
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for size_mb in 512 1024 2047; do
    ours=()
    inside=()
    theirs=()
    for _ in $(seq $runs); do
        # Both sides get an image of the size made beforehand and are timed
        # alike: one process each, its output to a file (a command
        # substitution would add a fork to one side only).
        rm -f "$work/ours.img" "$work/mkfs.img"
        truncate -s ${size_mb}M "$work/ours.img" "$work/mkfs.img"
        start=$EPOCHREALTIME
        "$bench" "$work/ours.img" $size_mb >"$work/inside"
        end=$EPOCHREALTIME
        inside+=("$(cat "$work/inside")")
        ours+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }')")
        start=$EPOCHREALTIME
        "$mkfs" -F 16 "$work/mkfs.img" >/dev/null
        end=$EPOCHREALTIME
        theirs+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", e - s }')")
    done
    o=$(median "${ours[@]}")
    i=$(median "${inside[@]}")
    t=$(median "${theirs[@]}")
    # Both sides timed as whole processes; the formatter's own calls beside.
    printf 'format of %4d MB: formatter %.4f s (calls alone %.4f s), mkfs.fat -F 16 %.4f s, ratio %.2f\n' \
        "$size_mb" "$o" "$i" "$t" "$(awk -v o="$o" -v t="$t" 'BEGIN { print (t > 0 ? o / t : 0) }')"
done
