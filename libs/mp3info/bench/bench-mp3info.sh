#!/usr/bin/env bash
# Files per second of reading tags and stream facts: Mp3Peek.dll under Wine
# and its reading core natively, beside TagLib on the same files in the same
# run. The corpus is read again and again until at least 2000 files were read.
# Figures only; nothing here fails on speed.
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
corpus=$top/libs/mp3info/tests/data/corpus
files=$(find "$corpus" -maxdepth 1 -type f | wc -l)
repeat=$(( (2000 + files - 1) / files ))

# The native figures come from an optimised build without sanitizers.
bench=${MB_BENCH_NATIVE:-$top/build/bench-native}
if [ ! -f "$bench/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMB_SANITIZE=OFF \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$bench" -j "${MB_JOBS:-3}" --target mp3info_core_bench mp3info_taglib_bench >/dev/null
cmake --build "$top/build/win64" -j "${MB_JOBS:-3}" --target mp3peek_bench >/dev/null

echo "corpus: $files files x $repeat = $((files * repeat)) reads"
"$bench/libs/mp3info/mp3info_core_bench" "$corpus" 1 >/dev/null   # warm the file cache
core=$("$bench/libs/mp3info/mp3info_core_bench" "$corpus" "$repeat")
taglib=$("$bench/libs/mp3info/mp3info_taglib_bench" "$corpus" "$repeat")
winpath="Z:$(echo "$corpus" | tr / '\\')"
wine=$("$top/build/win64/wine-run" "$top/build/win64/bin/mp3peek_bench.exe" "$winpath" "$repeat" | tr -d '\r')
bare=$("$top/build/win64/wine-run" "$top/build/win64/bin/mp3peek_bench.exe" "$winpath" "$repeat" bare | tr -d '\r')
echo "$core"
echo "$taglib"
echo "$wine"
echo "$bare"
rate() { sed -n 's/.*files_per_second=\([0-9]*\).*/\1/p' <<<"$1"; }
awk -v c="$(rate "$core")" -v t="$(rate "$taglib")" -v w="$(rate "$wine")" -v b="$(rate "$bare")" 'BEGIN {
    printf "ratio core/taglib = %.2f (target at least 5)\n", c / t
    printf "ratio mp3peek-under-wine/taglib = %.2f\n", w / t
    printf "ratio mp3peek-under-wine/bare-wine-file-calls = %.2f (1.00 is the limit under Wine)\n", w / b
}'
