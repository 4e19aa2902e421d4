#!/usr/bin/env bash
# Makes the folder the PC pane tests map as drive G:, in the folder given:
#   pc/list/     the listed folder: three subfolders (one with a subfolder of
#                its own, one Korean-named), five files of known sizes and
#                last-write times (UTC), one of them Korean-named
#   pc/tree/     a large tree: 20 folders of 5 subfolders each
#   pc/newfolder/  New Folder, New Folder(2), New Folder(7)
#   pc/work/     emptied; the tests make and change their own items here
#   xdg/         the trash folder of recycled items, emptied
# Korean names are UTF-8 on the disk; Wine shows them in code page 949 when it
# runs with a Korean locale.
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out/pc" "$out/xdg"
cd "$out/pc"

mkdir -p list/Alpha/Inner list/beta "list/음악"
file() {  # name size time
    head -c "$2" /dev/zero >"list/$1"
    TZ=UTC touch -d "$3" "list/$1"
}
file a.mp3 1000 '2005-01-02 03:04:00'
file B.wav 5000 '2003-07-08 09:10:00'
file c.txt 300000 '2006-11-12 13:14:00'
file "노래.mp3" 2048 '2004-05-06 07:08:00'
file Zed.wma 70000 '2002-02-03 04:05:00'
TZ=UTC touch -d '2001-01-01 00:00:00' list/Alpha list/beta "list/음악"

for i in $(seq -w 1 20); do
    for j in 1 2 3 4 5; do
        mkdir -p "tree/f$i/s$j"
    done
done

mkdir -p "newfolder/New Folder" "newfolder/New Folder(2)" "newfolder/New Folder(7)"
mkdir -p work
touch "$out/.made"
