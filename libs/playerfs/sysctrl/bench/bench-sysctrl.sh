#!/usr/bin/env bash
# Order write of a folder of 2,000 and of 10,000 long-named files in a 64 MB
# FAT16 image: CQV_SysCtrl's InitDirectory + SetFileOrder (an optimised native
# build of the core) against fatsort sorting the same folder of a copy, five
# interleaved rounds, medians. Both end with the folder in reverse name order,
# checked before the figures are printed. Never fails on speed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-sysctrl.XXXXXX")
trap 'rm -rf "$work"' EXIT
cxx=$(command -v clang++ || command -v g++)
"$cxx" -O2 -DNDEBUG -std=c++17 -I"$here/core" -I"$here/include" -DQV_SYSCTRL_STATIC \
    "$here"/core/*.cpp "$here/bench/sysctrl_bench.cpp" -o "$work/sysctrl_bench"

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for kind in big huge; do
    "$here/scripts/make-image.sh" "$kind" "$work/base.img"
    "$here/scripts/dirlist.py" "$work/base.img" ::/BIG | tail -n +2 | LC_ALL=C sort -r >"$work/names.txt"
    count=$(wc -l <"$work/names.txt")
    ours=() inside=() theirs=()
    for round in 1 2 3 4 5; do
        cp "$work/base.img" "$work/ours.img"
        cp "$work/base.img" "$work/fatsort.img"
        sync
        t0=$(now)
        # The program prints the time of the calls themselves first.
        inside+=("$("$work/sysctrl_bench" "$work/ours.img" 'P:\BIG\' "$work/names.txt" | cut -d' ' -f1)")
        t1=$(now)
        LC_ALL=C.UTF-8 fatsort -q -a -r -d /BIG "$work/fatsort.img" >/dev/null 2>&1
        t2=$(now)
        ours+=("$(( (t1 - t0) / 1000 ))")
        theirs+=("$(( (t2 - t1) / 1000 ))")
    done
    # Both tools must have written the same order, or the figures compare nothing.
    if ! cmp -s <("$here/scripts/dirlist.py" "$work/ours.img" ::/BIG) <("$here/scripts/dirlist.py" "$work/fatsort.img" ::/BIG); then
        echo "bench-sysctrl: the two orders differ ($count entries)" >&2
        exit 1
    fi
    o=$(median "${ours[@]}"); f=$(median "${theirs[@]}"); c=$(median "${inside[@]}")
    printf 'order write, %5d entries: ours %7.1f ms (calls alone %6.1f ms), fatsort %7.1f ms, ratio %.2f\n' \
        "$count" "$(awk -v v="$o" 'BEGIN { print v / 1000 }')" "$c" "$(awk -v v="$f" 'BEGIN { print v / 1000 }')" \
        "$(awk -v a="$o" -v b="$f" 'BEGIN { print a / b }')"
done
