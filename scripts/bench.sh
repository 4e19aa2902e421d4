#!/usr/bin/env bash
# Runs every benchmark program (scripts named bench-*.sh under the components'
# bench folders). Benchmarks print their figures beside a peer's; they never fail
# on speed.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh" || exit 1
status=0
while IFS= read -r script; do
    echo "== $script"
    bash "$script" || status=1
done < <(find "$top" -path "$top/build" -prune -o -path '*/bench/bench-*.sh' -print | sort)
exit $status
