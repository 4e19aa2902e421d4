#!/usr/bin/env bash
# Runs the import check on a binary that must fail it, and passes only when the
# check fails (status 1, not a crash or a usage error) with every expected line
# and without flagging the imports that are fine.
#   expect-failure.sh "expected line" ... -- "accepted import" ... -- check command...
set -uo pipefail
expected=()
accepted=()
while [ "$1" != "--" ]; do expected+=("$1"); shift; done
shift
while [ "$1" != "--" ]; do accepted+=("$1"); shift; done
shift
output=$("$@" 2>&1)
status=$?
echo "$output"
if [ "$status" -ne 1 ]; then
    echo "expect-failure: the check ended with status $status, not 1 (failed imports)"
    exit 1
fi
for line in "${expected[@]}"; do
    if ! grep -qxF -- "$line" <<<"$output"; then
        echo "expect-failure: missing line: $line"
        exit 1
    fi
done
for name in "${accepted[@]}"; do
    if grep -q "^FAILED: .*!$name[ ,]" <<<"$output"; then
        echo "expect-failure: $name was flagged although its Windows is old enough"
        exit 1
    fi
done
echo "expect-failure: the check failed as it should"
