#!/usr/bin/env bash
# Compares a file on a memory's FAT image, read with mtools, with the bytes of
# an expected file:  check-image-file.sh STATE /PATH/ON/IMAGE EXPECTED
set -uo pipefail
state=$1 path=$2 expected=$3
image=$(cat "$state/internal.image")
got=$(mktemp)
trap 'rm -f "$got"' EXIT
if ! MTOOLS_SKIP_CHECK=1 mtype -i "$image" "::$path" >"$got"; then
    echo "mtype cannot read ::$path"
    exit 1
fi
if ! cmp -s "$got" "$expected"; then
    echo "::$path holds:"; od -c "$got" | head -20
    echo "expected:"; od -c "$expected" | head -20
    exit 1
fi
echo "::$path holds exactly the expected lines"
