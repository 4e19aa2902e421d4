#!/usr/bin/env bash
# Seeds for fat_facts_fuzzer: the first sectors (boot sector, start of the
# FAT) of small FAT12, FAT16 and FAT32 volumes made by mkfs.fat.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
MKFS=${MKFS_FAT:-/usr/sbin/mkfs.fat}
"$MKFS" -C -F 12 -n SEED12 "$tmp/12.img" 1024 >/dev/null
"$MKFS" -C -F 16 -s 1 -n SEED16 "$tmp/16.img" 4096 >/dev/null
"$MKFS" -C -F 32 -s 1 -n SEED32 "$tmp/32.img" 34000 >/dev/null
for kind in 12 16 32; do
    head -c 2048 "$tmp/$kind.img" >"$here/corpus/fat$kind"
done
