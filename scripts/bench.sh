#!/usr/bin/env bash
# Runs every benchmark program (scripts named bench-*.sh under the components'
# bench folders), then repeats every ratio they printed in one summary.
# Benchmarks print their figures beside a peer's; they never fail on speed.
# They time optimised code, never the sanitizer build: the native programs come
# from build/bench-native (Release, no sanitizers), the Windows ones from
# build/win64 (-O2, no sanitizers: the optimisation the shipped build has).
#   MB_BENCH_ROUNDS   interleaved rounds of each benchmark (their own default)
#   MB_BENCH_ONLY     a pattern: only the bench scripts whose path matches
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# The machine is often shared with other builds.
jobs=${MB_JOBS:-3}
MB_JOBS=$jobs MB_BUILDS=win64 "$top/scripts/build.sh" >/dev/null || exit 1
export MB_BENCH_NATIVE="$top/build/bench-native"
if [ ! -f "$MB_BENCH_NATIVE/CMakeCache.txt" ]; then
    generator=()
    command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
    cmake -S "$top" -B "$MB_BENCH_NATIVE" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DMB_SANITIZE=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
fi
# Only the benchmark programs (targets named *_bench) are built there.
mapfile -t targets < <(cmake --build "$MB_BENCH_NATIVE" --target help | sed -n -e 's/^\([A-Za-z0-9_]*_bench\): .*/\1/p' -e 's/^\.\.\. \([A-Za-z0-9_]*_bench\)$/\1/p')
cmake --build "$MB_BENCH_NATIVE" -j "$jobs" --target "${targets[@]}" >/dev/null || exit 1
status=0
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
echo "load before the run: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
while IFS= read -r script; do
    [ -n "${MB_BENCH_ONLY:-}" ] && [[ "$script" != *$MB_BENCH_ONLY* ]] && continue
    echo "== ${script#"$top"/}"
    bash "$script" 2>&1 | tee -a "$summary" || status=1
done < <(find "$top" -path "$top/build" -prune -o -path '*/bench/bench-*.sh' -print | sort)
echo "load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== every ratio of this run"
grep -i -E 'ratio|^order write|^ *fatsort|^format of' "$summary" || true
exit $status
