#!/usr/bin/env bash
# Makes the seed images of the FAT fuzz target: small FAT12 and FAT16 volumes
# with long names, folders, a label and a few files, written by mtools.
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)/fuzz
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1
printf 'hello player\n' >"$work/My Song.mp3"
head -c 1500 /dev/zero | tr '\0' 'x' >"$work/TRACK01.MP3"

rm -f "$out/fat12.img"
mkfs.fat -C -F 12 -S 512 -s 1 -r 32 -n SEED12 "$out/fat12.img" 64 >/dev/null
mmd -i "$out/fat12.img" ::/MUSIC "::/MUSIC/Long Folder Name"
mcopy -i "$out/fat12.img" "$work/My Song.mp3" "$work/TRACK01.MP3" "::/MUSIC/Long Folder Name/"
mcopy -i "$out/fat12.img" "$work/TRACK01.MP3" ::/
mattrib -i "$out/fat12.img" +h +s +r ::/TRACK01.MP3

rm -f "$out/fat16.img"
mkfs.fat -C -F 16 -S 512 -s 1 -r 16 -n SEED16 "$out/fat16.img" 2100 >/dev/null
mcopy -i "$out/fat16.img" "$work/My Song.mp3" ::/
mmd -i "$out/fat16.img" ::/VOICE
# Only the leading part of the FAT16 image matters to the parser: keep it short.
truncate -s 40960 "$out/fat16-head.img" && dd if="$out/fat16.img" of="$out/fat16-head.img" bs=512 count=80 conv=notrunc status=none
rm -f "$out/fat16.img"
