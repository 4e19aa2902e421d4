#!/usr/bin/env bash
# After the transfer window cases: the files they copied onto the player's
# memory (I:) are byte for byte the PC's, as mtools reads them from the raw
# image, and both images pass fsck.fat.
#   check-images.sh <memory state folder> <work folder>
set -u
state=$1
work=$2
internal=$state/internal/raw/image
external=$state/external/raw/image
fail=0

copied=$(mktemp)
trap 'rm -f "$copied"' EXIT

same() {  # <image path> <pc file>
    local on_image; local on_pc
    # A file missing on either side is said so (its hash would be the empty
    # file's and read as a copy that lost its bytes).
    if ! MTOOLS_SKIP_CHECK=1 mcopy -n -o -i "$internal" "::$1" "$copied" 2>/dev/null; then
        echo "MISSING on the image: $1"
        fail=1
        return
    fi
    if [ ! -f "$work/pc/$2" ]; then
        echo "MISSING on the PC: $2"
        fail=1
        return
    fi
    on_image=$(sha256sum < "$copied" | cut -d' ' -f1)
    on_pc=$(sha256sum < "$work/pc/$2" | cut -d' ' -f1)
    if [ "$on_image" != "$on_pc" ]; then
        echo "DIFFERS: $1 (image $on_image, pc $on_pc)"
        fail=1
    else
        echo "same: $1"
    fi
}

for name in one.mp3 two.wma three.wav Tree/a.mp3 Tree/Inner/b.mp3; do
    same "/Music/$name" "$name"
done
for name in l1.mp3 l2.wav l3.wma l4.mp3 ListTree/t.mp3; do
    same "/List/$name" "$name"
done
for n in 2 4; do
    same "/Over/song$n.mp3" "song$n.mp3"
done

echo "--- mdir of I:"
MTOOLS_SKIP_CHECK=1 mdir -/ -b -i "$internal" :: | head -50
for image in "$internal" "$external"; do
    if ! fsck.fat -n "$image"; then
        echo "fsck.fat complains about $image"
        fail=1
    fi
done
exit $fail
