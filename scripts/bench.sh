#!/usr/bin/env bash
# Runs every benchmark program (scripts named bench-*.sh under the components'
# bench folders). Benchmarks print their figures beside a peer's; they never fail
# on speed. They time optimised code: the native programs come from build/bench
# (Release, no sanitizers), the Windows ones from build/win64.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=${MB_JOBS:-$(nproc)}
MB_BUILDS=win64 "$top/scripts/build.sh" || exit 1
export MB_BENCH_NATIVE="$top/build/bench-native"
if [ ! -f "$MB_BENCH_NATIVE/CMakeCache.txt" ]; then
    generator=()
    command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
    cmake -S "$top" -B "$MB_BENCH_NATIVE" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DMB_SANITIZE=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
fi
cmake --build "$MB_BENCH_NATIVE" -j "$jobs" >/dev/null || exit 1
status=0
while IFS= read -r script; do
    echo "== $script"
    bash "$script" || status=1
done < <(find "$top" -path "$top/build" -prune -o -path '*/bench/bench-*.sh' -print | sort)
exit $status
