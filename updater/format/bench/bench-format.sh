#!/usr/bin/env bash
# Formats a 512 MB data area into an image through the updater's formatter
# (every run written and read back) and, in the same run, makes a FAT16 file
# system on an image of the same size with mkfs.fat; prints both times and
# their ratio (best of a few runs each). Never fails on speed.
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
bench="$top/build/native/updater/format/qv_format_bench"
mkfs=$(command -v mkfs.fat || echo /usr/sbin/mkfs.fat)
[ -x "$bench" ] || { echo "build the native tree first ($bench missing)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
size_mb=512
runs=5
ours=()
theirs=()
for _ in $(seq $runs); do
    rm -f "$work/ours.img" "$work/mkfs.img"
    ours+=("$("$bench" "$work/ours.img" $size_mb)")
    truncate -s ${size_mb}M "$work/mkfs.img"
    start=$(date +%s%N)
    "$mkfs" -F 16 "$work/mkfs.img" >/dev/null
    end=$(date +%s%N)
    theirs+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f", (e - s) / 1e9 }')")
done
best() { printf '%s\n' "$@" | sort -g | head -1; }
o=$(best "${ours[@]}")
t=$(best "${theirs[@]}")
printf 'format of a %d MB data area (best of %d runs)\n' $size_mb $runs
printf '  updater formatter (write + read back): %.4f s\n' "$o"
printf '  mkfs.fat -F 16 (process included):     %.4f s\n' "$t"
awk -v o="$o" -v t="$t" 'BEGIN { printf "  ratio formatter / mkfs.fat:            %.2f\n", (t > 0 ? o / t : 0) }'
