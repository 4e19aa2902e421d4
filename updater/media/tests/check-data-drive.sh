#!/usr/bin/env bash
# Checks the data drive image that the Wine format run left: the partition the
# master boot record names, cut out of the image, must pass fsck.fat, which may
# only call the zero-padded volume label not valid.
set -euo pipefail
fsck=$1
image=$2
[ -s "$image" ] || { echo "no data drive image at $image" >&2; exit 1; }
read -r first sectors < <(python3 -c '
import struct, sys
mbr = open(sys.argv[1], "rb").read(512)
assert mbr[510:512] == b"\x55\xaa", "no boot signature"
print(*struct.unpack_from("<II", mbr, 454))' "$image")
part=$(mktemp)
trap 'rm -f "$part"' EXIT
dd if="$image" of="$part" bs=512 skip="$first" count="$sectors" status=none
set +e
out=$("$fsck" -n "$part" 2>&1)
set -e
echo "$out"
# The label entry counts as one file.
grep -q -E ': 1 files, ' <<<"$out" || { echo "fsck.fat did not read the volume" >&2; exit 1; }
rest=$(grep -v -E "^(fsck\.fat .*|Leaving filesystem unchanged\.|.*: [0-9]+ files, [0-9]+/[0-9]+ clusters|(Volume label|Label) '.*' stored in (root directory|boot sector) is not valid\.|  Auto-removing label.*|)$" <<<"$out" || true)
if [ -n "$rest" ]; then
    echo "fsck.fat complained: $rest" >&2
    exit 1
fi
