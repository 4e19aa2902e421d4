#!/usr/bin/env bash
# Order write of a 2,000-entry folder of a 64 MB FAT16 image: CQV_SysCtrl's
# SetFileOrder against fatsort sorting the same folder of a copy, in one run.
# Both end with the folder in reverse name order. Prints both times and the
# ratio; never fails on speed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-sysctrl.XXXXXX")
trap 'rm -rf "$work"' EXIT
cxx=$(command -v clang++ || command -v g++)
"$cxx" -O2 -std=c++17 -I"$here/core" -I"$here/include" -DQV_SYSCTRL_STATIC \
    "$here"/core/*.cpp "$here/bench/sysctrl_bench.cpp" -o "$work/sysctrl_bench"
"$here/scripts/make-image.sh" big "$work/base.img"
"$here/scripts/dirlist.py" "$work/base.img" ::/BIG | tail -n +2 | LC_ALL=C sort -r >"$work/names.txt"

now() { date +%s.%N; }
ours=() theirs=()
for round in 1 2 3; do
    cp "$work/base.img" "$work/ours.img"
    cp "$work/base.img" "$work/fatsort.img"
    sync
    t0=$(now)
    "$work/sysctrl_bench" "$work/ours.img" 'P:\BIG\' "$work/names.txt" >/dev/null
    t1=$(now)
    fatsort -q -a -r -d /BIG "$work/fatsort.img" >/dev/null 2>&1
    t2=$(now)
    ours+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print (b - a) * 1000 }')")
    theirs+=("$(awk -v a="$t1" -v b="$t2" 'BEGIN { print (b - a) * 1000 }')")
done
# Both tools must have written the same order, or the figures compare nothing.
if ! cmp -s <("$here/scripts/dirlist.py" "$work/ours.img" ::/BIG) <("$here/scripts/dirlist.py" "$work/fatsort.img" ::/BIG); then
    echo "bench-sysctrl: the two orders differ" >&2
    exit 1
fi
best() { printf '%s\n' "$@" | sort -n | head -1; }
o=$(best "${ours[@]}")
f=$(best "${theirs[@]}")
printf 'SetFileOrder, 2000 entries, 64 MB FAT16: %8.1f ms (process start included)\n' "$o"
printf 'fatsort -d /BIG, same folder:            %8.1f ms\n' "$f"
printf 'ratio SetFileOrder / fatsort:             %8.2f\n' "$(awk -v a="$o" -v b="$f" 'BEGIN { print a / b }')"
