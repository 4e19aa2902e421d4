#!/usr/bin/env bash
# Formats a 512 MB data area into an image through the updater's formatter and,
# in the same run, makes a FAT file system on an image of the same size with
# mkfs.fat; prints both times and their ratio. Never fails on speed.
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
bench="$top/build/native/updater/format/qv_format_bench"
mkfs=$(command -v mkfs.fat || echo /usr/sbin/mkfs.fat)
[ -x "$bench" ] || { echo "build the native tree first ($bench missing)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
size_mb=512
runs=5
best_mkfs=
for i in $(seq $runs); do
    rm -f "$work/ours.img" "$work/mkfs.img"
    ours=$("$bench" "$work/ours.img" $size_mb)
    truncate -s ${size_mb}M "$work/mkfs.img"
    start=$(date +%s.%N)
    "$mkfs" -F 16 "$work/mkfs.img" >/dev/null
    end=$(date +%s.%N)
    theirs=$(echo "$end - $start" | bc -l)
    if [ -z "$best_mkfs" ] || [ "$(echo "$theirs < $best_mkfs" | bc -l)" = 1 ]; then best_mkfs=$theirs; fi
    if [ -z "${min_ours:-}" ] || [ "$(echo "$ours < $min_ours" | bc -l)" = 1 ]; then min_ours=$ours; fi
done
printf 'format of a %d MB data area (best of %d runs)\n' $size_mb $runs
printf '  updater formatter (write + read back): %.4f s\n' "$min_ours"
printf '  mkfs.fat -F 16:                        %.4f s\n' "$best_mkfs"
printf '  ratio formatter / mkfs.fat:            %.2f\n' "$(echo "$min_ours / $best_mkfs" | bc -l)"
