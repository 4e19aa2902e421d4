#!/usr/bin/env bash
# The file position of the player's volume handles, and the player list's
# read of the directory order through the driver: a FAT image whose root
# entries mcopy wrote in an order that is not the names' order, checked
# afterwards with fsck.fat.
#   file-position.sh wine-run test.exe scratch-folder drive-folder
set -u
run=${1:?wine-run} exe=${2:?test program} scratch=${3:?scratch folder} drive=${4:?drive folder}
MKFS=${MKFS_FAT:-/usr/sbin/mkfs.fat}
FSCK=${FSCK_FAT:-/usr/sbin/fsck.fat}
fail() { echo "file-position: $*" >&2; exit 1; }
mkdir -p "$scratch"
image="$scratch/file-position.img"
rm -f "$image"
"$MKFS" -C -F 16 -n LARK "$image" 16384 >/dev/null || fail "mkfs.fat failed"
export MTOOLS_SKIP_CHECK=1
for name in "Zebra song.mp3" "apple pie.mp3" "Mango Tango.mp3"; do
    printf '%s\n' "$name" >"$scratch/$name"
    mcopy -i "$image" "$scratch/$name" "::$name" || fail "mcopy failed"
    rm -f "$scratch/$name"
done
mmd -i "$image" ::Bravo || fail "mmd failed"
# mdir lists the entries in directory order, by their long names.
order=$(mdir -b -i "$image" :: | sed 's|^::/||; s|/$||' | paste -sd/) || fail "mdir failed"
[ "$order" = "Zebra song.mp3/apple pie.mp3/Mango Tango.mp3/Bravo" ] || fail "mdir lists another order: $order"
before=$(stat -c %s "$image")

windows_image="Z:$(readlink -f "$image" | tr / '\\')"
MB_TEST_ENV="MB_DOSDEVICES=o:=$drive|VILOSIM_FAT_IMAGE=$windows_image|VILOSIM_ROOT_ORDER=$order" \
    "$run" "$exe" --gtest_filter='FilePosition.*' || fail "the Windows side failed"

[ "$(stat -c %s "$image")" = "$before" ] || fail "the image changed size"
"$FSCK" -n "$image" >/dev/null || fail "fsck.fat finds the image damaged"
echo "file-position: the image is consistent"
