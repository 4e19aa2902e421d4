#!/usr/bin/env bash
# Makes a FAT image the way the player formats its memory (one reserved
# sector, FAT12 for small memories and FAT16 for larger ones) and fills it with
# mtools, for the directory tests and the benchmark.
#   make-image.sh <kind> <image> [fat bits]
# kinds:
#   basic     label "VILO LARK", long and 8.3 names, deleted entries in the
#             root and in MUSIC, nested MUSIC\ROCK
#   big       folder BIG with 2,000 files with long names
#   huge      folder BIG with 10,000 files with long names
#   frag      folder FRAG whose clusters are not consecutive
#   reserved  like basic, but with 4 reserved sectors
#   lower     8.3-only names with the lower-case flags (lower.mp3, naïve.mp3,
#             MIXED.mp3)
#   lower437  the same with café.mp3 in place of naïve.mp3: mtools writes
#             code page 850, and É (unlike Ï) is the same byte in 437, the
#             OEM code page Wine gives the tests
#   deep      64 MB FAT16 with folder DEEP beyond its first 32 MB
#   broken    basic, then a long-name sequence in the root broken by hand
set -euo pipefail
kind=$1
image=$2
bits=${3:-16}
export MTOOLS_SKIP_CHECK=1 MTOOLS_LOWER_CASE=0
export LC_ALL=C.UTF-8
work=$(mktemp -d "${TMPDIR:-/tmp}/mkimg.XXXXXX")
trap 'rm -rf "$work"' EXIT

format() {  # format <fat bits> <KiB> [reserved]
    rm -f "$image"
    mkfs.fat -C -F "$1" -R "${3:-1}" -i 1234ABCD "$image" "$2" >/dev/null
    mlabel -i "$image" ::"VILO LARK"
}

file_of() {  # file_of <name> <bytes>
    head -c "$2" /dev/zero | tr '\0' 'a' >"$work/$1"
    printf '%s' "$work/$1"
}

size_for() { if [ "$1" = 12 ]; then echo 4096; else echo 65536; fi; }

fill_basic() {
    mcopy -i "$image" "$(file_of '01 First Song.mp3' 3000)" "$(file_of 'gone one.mp3' 100)" ::/
    mcopy -i "$image" "$(file_of 'SHORT.MP3' 700)" "$(file_of 'Café Müller.mp3' 5000)" ::/
    mcopy -i "$image" "$(file_of 'gone two with a long name.wma' 10)" "$(file_of 'Last Track Of The Root.mp3' 1)" ::/
    mmd -i "$image" ::/MUSIC ::/MUSIC/ROCK
    mcopy -i "$image" "$(file_of 'Alpha.mp3' 1500)" "$(file_of 'gone three.mp3' 10)" ::/MUSIC/
    mcopy -i "$image" "$(file_of 'Beta Beta Beta.mp3' 100)" "$(file_of 'GAMMA.MP3' 9000)" ::/MUSIC/
    mcopy -i "$image" "$(file_of 'Delta with quite a long name indeed.mp3' 10)" ::/MUSIC/
    mcopy -i "$image" "$(file_of 'Rock One.mp3' 10)" "$(file_of 'Rock Two.mp3' 20)" ::/MUSIC/ROCK/
    mdel -i "$image" "::/gone one.mp3" "::/gone two with a long name.wma" "::/MUSIC/gone three.mp3"
}

case "$kind" in
basic)
    format "$bits" "$(size_for "$bits")"
    fill_basic
    ;;
reserved)
    format "$bits" "$(size_for "$bits")" 4
    fill_basic
    ;;
big|huge)
    format 16 65536
    mmd -i "$image" ::/BIG
    mkdir "$work/big"
    count=2000
    [ "$kind" = huge ] && count=10000
    for i in $(seq -w 1 "$count"); do : >"$work/big/$i Track of the big folder.mp3"; done
    mcopy -i "$image" "$work/big/"* ::/BIG/
    ;;
frag)
    format 16 65536
    mmd -i "$image" ::/FRAG
    # Each round fills the folder past a cluster while files take the clusters
    # after it, so the folder's next cluster lies further on.
    for round in 1 2 3 4; do
        mkdir "$work/r$round"
        for i in $(seq -w 1 30); do head -c 600 /dev/zero >"$work/r$round/Round $round song $i with long name.mp3"; done
        mcopy -i "$image" "$work/r$round/"* ::/FRAG/
        mcopy -i "$image" "$(file_of "filler$round.bin" 5000)" ::/
    done
    ;;
lower)
    format 12 4096
    mcopy -i "$image" "$(file_of 'lower.mp3' 10)" "$(file_of 'naïve.mp3' 20)" "$(file_of 'MIXED.mp3' 30)" ::/
    mcopy -i "$image" "$(file_of 'Upper.MP3' 40)" "$(file_of 'PLAIN.MP3' 50)" ::/
    ;;
lower437)
    format 12 4096
    mcopy -i "$image" "$(file_of 'lower.mp3' 10)" "$(file_of 'café.mp3' 20)" "$(file_of 'MIXED.mp3' 30)" ::/
    mcopy -i "$image" "$(file_of 'Upper.MP3' 40)" "$(file_of 'PLAIN.MP3' 50)" ::/
    ;;
deep)
    format 16 65536
    mcopy -i "$image" "$(file_of 'filler.bin' $((40 * 1024 * 1024)))" ::/
    mmd -i "$image" ::/DEEP
    mcopy -i "$image" "$(file_of 'Deep One.mp3' 10)" "$(file_of 'Deep Two.mp3' 20)" "$(file_of 'DEEP3.MP3' 30)" ::/DEEP/
    ;;
broken)
    format 12 4096
    fill_basic
    # The second long-name entry of "01 First Song.mp3" gets a wrong ordinal:
    # the sequence no longer leads to its 8.3 entry.
    /usr/bin/python3 - "$image" <<'PY'
import sys
img = sys.argv[1]
with open(img, 'r+b') as f:
    boot = f.read(512)
    res = int.from_bytes(boot[14:16], 'little')
    fats = boot[16]
    spf = int.from_bytes(boot[22:24], 'little')
    root = (res + fats * spf) * 512
    f.seek(root)
    data = bytearray(f.read(32 * 64))
    for i in range(64):
        e = data[i * 32:(i + 1) * 32]
        if e[0] == 0x42 and e[11] == 0x0F:
            f.seek(root + (i + 1) * 32)
            f.write(bytes([0x05]))
            break
    else:
        sys.exit("no two-entry long name found")
PY
    ;;
*)
    echo "make-image.sh: unknown kind $kind" >&2
    exit 2
    ;;
esac
