#!/usr/bin/env bash
# A FAT image made by mkfs.fat becomes the player's volume through the
# stand-in driver; a Windows program changes it through raw sectors of \\.\O:
# only, and fsck.fat and mtools then check the image from Linux.
#   fat-through-driver.sh wine-run test.exe scratch-folder drive-folder
set -u
run=${1:?wine-run} exe=${2:?test program} scratch=${3:?scratch folder} drive=${4:?drive folder}
MKFS=${MKFS_FAT:-/usr/sbin/mkfs.fat}
FSCK=${FSCK_FAT:-/usr/sbin/fsck.fat}
mkdir -p "$scratch"
image="$scratch/fat-through-driver.img"
hello="$scratch/hello.txt"
fail() { echo "fat-through-driver: $*" >&2; exit 1; }

rm -f "$image"
"$MKFS" -C -F 16 -s 4 -n LARK "$image" 16384 >/dev/null || fail "mkfs.fat failed"
printf 'hello from mtools\n' >"$hello"
export MTOOLS_SKIP_CHECK=1
mcopy -i "$image" "$hello" ::HELLO.TXT || fail "mcopy failed"
mmd -i "$image" ::MUSIC || fail "mmd failed"
before=$(stat -c %s "$image")

windows_image="Z:$(readlink -f "$image" | tr / '\\')"
MB_TEST_ENV="MB_DOSDEVICES=o:=$drive|VILOSIM_FAT_IMAGE=$windows_image" \
    "$run" "$exe" --gtest_filter='FatVolume.*' || fail "the Windows side failed"

[ "$(stat -c %s "$image")" = "$before" ] || fail "the image changed size"
"$FSCK" -n "$image" || fail "fsck.fat finds the image damaged"
listing=$(mdir -b -i "$image" ::) || fail "mdir failed"
echo "$listing"
grep -qx '::/RENAMED.TXT' <<<"$listing" || fail "RENAMED.TXT is not listed"
grep -qx '::/RAW.TXT' <<<"$listing" || fail "RAW.TXT is not listed"
grep -q 'HELLO.TXT' <<<"$listing" && fail "HELLO.TXT is still listed"
grep -qx '::/MUSIC/' <<<"$listing" || fail "MUSIC is gone"
[ "$(mtype -i "$image" ::RENAMED.TXT)" = "hello from mtools" ] || fail "RENAMED.TXT lost its data"
[ "$(mtype -i "$image" ::RAW.TXT)" = "written through the player's raw sectors" ] || fail "RAW.TXT has other data"
echo "fat-through-driver: the image is consistent"
