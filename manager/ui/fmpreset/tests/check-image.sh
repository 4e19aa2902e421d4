#!/usr/bin/env bash
# After the save test, from Linux: SETTINGS.DAT on the memory's FAT image
# (read with mtools, not through Wine) carries hidden, system and read-only,
# and differs from the fixture only inside table entries 2 and 5.
#   check-image.sh STATE FIXTURE
set -uo pipefail
state=$1 fixture=$2
image=$(cat "$state/internal.image") || exit 1
export MTOOLS_SKIP_CHECK=1
attrs=$(mattrib -i "$image" ::SETTINGS.DAT) || { echo "mattrib failed"; exit 1; }
echo "mattrib: $attrs"
for flag in S H R; do
    # mattrib prints the set flags before the name: "  SHR ::/SETTINGS.DAT"
    flags=${attrs%%::*}
    case "$flags" in *"$flag"*) ;; *) echo "SETTINGS.DAT lacks attribute $flag"; exit 1 ;; esac
done
copy=$(mktemp)
trap 'rm -f "$copy"' EXIT
mcopy -o -i "$image" ::SETTINGS.DAT "$copy" || { echo "mcopy failed"; exit 1; }
# The table starts at byte 76 (cmp counts from 1); entry n at 76 + 3 (n - 1).
changed=$(cmp -l "$fixture" "$copy" | awk '{print $1}')
[ -n "$changed" ] || { echo "SETTINGS.DAT was not changed"; exit 1; }
for offset in $changed; do
    if ! { [ "$offset" -ge 79 ] && [ "$offset" -le 81 ]; } && ! { [ "$offset" -ge 88 ] && [ "$offset" -le 90 ]; }; then
        echo "byte $offset changed outside the two edited entries"; cmp -l "$fixture" "$copy"; exit 1
    fi
done
[ "$(stat -c %s "$fixture")" = "$(stat -c %s "$copy")" ] || { echo "the file's length changed"; exit 1; }
echo "SETTINGS.DAT: $(echo "$changed" | wc -l) bytes changed, all inside entries 2 and 5"
