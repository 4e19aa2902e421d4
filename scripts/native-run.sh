#!/usr/bin/env bash
# Runs a native test program with the variables packed in MB_TEST_ENV ("A=1|B=2").
set -u
if [ -n "${MB_TEST_ENV:-}" ]; then
    IFS='|' read -r -a mb_pairs <<<"$MB_TEST_ENV"
    for pair in "${mb_pairs[@]}"; do
        [ -n "$pair" ] && export "${pair?}"
    done
fi
exec "$@"
