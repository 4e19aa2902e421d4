#!/usr/bin/env bash
# Runs one libFuzzer target for a few seconds over a scratch copy of its seed
# corpus; a crash, leak or sanitizer report fails the test.
#   fuzz-run.sh <fuzzer> <seed corpus folder> <seconds>
set -eu
fuzzer=$1
seeds=$2
seconds=${3:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
if [ -d "$seeds" ]; then
    cp -r "$seeds"/. "$work/corpus/" 2>/dev/null || true
fi
# Without seeds the few seconds start from nothing and reach little: say so.
if [ -z "$(ls -A "$work/corpus")" ]; then
    echo "fuzz-run: $(basename "$fuzzer") has no seeds in $seeds; it starts from an empty corpus" >&2
fi
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" >"$work/log" 2>&1 || status=$?
tail -n 40 "$work/log"
if ls "$work/artifacts"/* >/dev/null 2>&1; then
    echo "fuzz-run: the fuzzer left crash inputs:" >&2
    for f in "$work/artifacts"/*; do echo "  $f"; xxd "$f" | head -n 8; done
    exit 1
fi
[ "$status" = 0 ] || exit "$status"
# A parser reached through a library that carries no coverage counters shows
# only the target's own few edges: the run then proves nothing.
cov=$(grep -o 'cov: [0-9]*' "$work/log" | tail -n 1 | tr -dc 0-9)
if [ -z "$cov" ] || [ "$cov" -lt "${MB_FUZZ_MIN_COVERAGE:-12}" ]; then
    echo "fuzz-run: $(basename "$fuzzer") reached ${cov:-no} coverage edges; is the code it calls built with -fsanitize=fuzzer-no-link?" >&2
    exit 1
fi
exit 0
