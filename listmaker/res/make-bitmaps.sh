#!/usr/bin/env bash
# Draws ListForge's button pictures and icons with ImageMagick and writes the
# resource script that names them:
#   make-bitmaps.sh OUTDIR
# Every button has a normal and a pressed picture (24-bit BMP). Pure green
# (0,255,0) is the key colour: the buttons paint it in the button face colour.
set -euo pipefail
out=${1:?usage: make-bitmaps.sh OUTDIR}
mkdir -p "$out"
cd "$out"

KEY='rgb(0,255,0)'
FACE='rgb(214,222,236)'
FACE_DOWN='rgb(170,184,210)'
EDGE='rgb(60,78,120)'
INK='rgb(30,60,140)'

# button NAME WIDTH HEIGHT DRAW...: NAME_up.bmp and NAME_down.bmp
button() {
    local name=$1 w=$2 h=$3
    shift 3
    local state face dx
    for state in up down; do
        if [ "$state" = up ]; then face=$FACE; dx=0; else face=$FACE_DOWN; dx=1; fi
        convert -size "${w}x${h}" "xc:$KEY" \
            +antialias -fill "$face" -stroke "$EDGE" -strokewidth 1 \
            -draw "roundrectangle $((1 + dx)),$((1 + dx)) $((w - 2 + dx - 1)),$((h - 2 + dx - 1)) 5,5" \
            -stroke none -fill "$INK" -draw "translate $dx,$dx $*" \
            -type TrueColor "BMP3:${name}_${state}.bmp"
    done
}

# labelled NAME WIDTH HEIGHT TEXT: a wide button with a word on it
labelled() {
    local name=$1 w=$2 h=$3 text=$4
    local state face dx
    for state in up down; do
        if [ "$state" = up ]; then face=$FACE; dx=0; else face=$FACE_DOWN; dx=1; fi
        convert -size "${w}x${h}" "xc:$KEY" \
            +antialias -fill "$face" -stroke "$EDGE" -strokewidth 1 \
            -draw "roundrectangle $((1 + dx)),$((1 + dx)) $((w - 3 + dx)),$((h - 3 + dx)) 5,5" \
            -antialias -stroke none -fill "$INK" -font DejaVu-Sans-Bold -pointsize 12 \
            -gravity center -annotate "+$dx+$dx" "$text" \
            -type TrueColor "BMP3:${name}_${state}.bmp"
    done
}

button add 36 36 "polygon 8,13 19,13 19,7 29,17 19,27 19,21 8,21"
button moveup 36 36 "polygon 17,7 28,20 21,20 21,28 13,28 13,20 6,20"
button movedown 36 36 "polygon 17,28 28,15 21,15 21,7 13,7 13,15 6,15"
button delete 36 36 "polygon 9,12 12,9 17,14 22,9 25,12 20,17 25,22 22,25 17,20 12,25 9,22 14,17"
labelled open 84 28 "Open M3U"
labelled save 84 28 "Save M3U"
labelled exit 84 28 "Exit"

# Icons: the program's (a list with a note) and the two drag pictures.
convert -size 32x32 xc:none -fill 'rgb(40,80,170)' -draw "roundrectangle 2,2 29,29 5,5" \
    -fill white -draw "rectangle 7,8 24,10" -draw "rectangle 7,14 24,16" -draw "rectangle 7,20 17,22" \
    -fill 'rgb(255,200,40)' -draw "circle 22,23 25,23" \
    \( +clone -resize 16x16 \) listforge.ico
convert -size 32x32 xc:none -fill 'rgb(255,255,225)' -stroke black -draw "rectangle 6,4 24,27" \
    -stroke none -fill 'rgb(40,80,170)' -draw "rectangle 9,9 21,10" -draw "rectangle 9,14 21,15" \
    drag_one.ico
convert -size 32x32 xc:none -fill 'rgb(255,255,225)' -stroke black \
    -draw "rectangle 11,2 28,22" -draw "rectangle 8,5 25,25" -draw "rectangle 5,8 22,28" \
    -stroke none -fill 'rgb(40,80,170)' -draw "rectangle 8,13 19,14" -draw "rectangle 8,18 19,19" \
    drag_many.ico

cat >ListForgeBitmaps.rc <<RC
// Made by make-bitmaps.sh; pictures of the buttons and the icons.
#include "resource.h"
IDI_LISTFORGE ICON "$PWD/listforge.ico"
IDI_DRAG_ONE ICON "$PWD/drag_one.ico"
IDI_DRAG_MANY ICON "$PWD/drag_many.ico"
IDB_ADD_DOWN BITMAP "$PWD/add_down.bmp"
IDB_ADD_UP BITMAP "$PWD/add_up.bmp"
IDB_DELETE_DOWN BITMAP "$PWD/delete_down.bmp"
IDB_DELETE_UP BITMAP "$PWD/delete_up.bmp"
IDB_MOVEDOWN_DOWN BITMAP "$PWD/movedown_down.bmp"
IDB_MOVEDOWN_UP BITMAP "$PWD/movedown_up.bmp"
IDB_EXIT_DOWN BITMAP "$PWD/exit_down.bmp"
IDB_EXIT_UP BITMAP "$PWD/exit_up.bmp"
IDB_SAVE_DOWN BITMAP "$PWD/save_down.bmp"
IDB_SAVE_UP BITMAP "$PWD/save_up.bmp"
IDB_OPEN_DOWN BITMAP "$PWD/open_down.bmp"
IDB_OPEN_UP BITMAP "$PWD/open_up.bmp"
IDB_MOVEUP_DOWN BITMAP "$PWD/moveup_down.bmp"
IDB_MOVEUP_UP BITMAP "$PWD/moveup_up.bmp"
RC
