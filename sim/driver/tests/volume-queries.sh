#!/usr/bin/env bash
# The player's volume answers volume queries from its FAT image: FAT12 (no
# label), FAT16 and FAT32 images made by mkfs.fat and filled by mtools; what
# mdir, minfo and mlabel report for each is handed to the Windows program,
# which asks Windows for the same through letter O:.
#   volume-queries.sh wine-run test.exe scratch-folder drive-folder
set -u
run=${1:?wine-run} exe=${2:?test program} scratch=${3:?scratch folder} drive=${4:?drive folder}
MKFS=${MKFS_FAT:-/usr/sbin/mkfs.fat}
export MTOOLS_SKIP_CHECK=1
mkdir -p "$scratch"
fail() { echo "volume-queries: $*" >&2; exit 1; }

# field NAME: the number after "NAME: " in minfo's report.
field() { sed -n "s/^$1: *\([0-9]*\).*/\1/p" <<<"$info" | head -n 1; }

check() { # kind sizeKiB label file-system-name
    local kind=$1 size=$2 label=$3 fsname=$4
    local image="$scratch/volume-queries-$kind.img"
    rm -f "$image"
    local options=(-C -F "$kind")
    [ "$kind" = 32 ] && options+=(-s 1)
    [ "$kind" = 16 ] && options+=(-s 4)
    [ -n "$label" ] && options+=(-n "$label")
    "$MKFS" "${options[@]}" "$image" "$size" >/dev/null || fail "mkfs.fat -F $kind failed"
    # Files in clusters, and one deleted again, so free space is not the fresh count.
    head -c 70000 /dev/urandom >"$scratch/a.bin"
    head -c 3000 /dev/urandom >"$scratch/b.bin"
    mmd -i "$image" ::MUSIC || fail "mmd failed"
    mcopy -i "$image" "$scratch/a.bin" ::MUSIC/A.BIN || fail "mcopy failed"
    mcopy -i "$image" "$scratch/b.bin" ::B.BIN || fail "mcopy failed"
    mcopy -i "$image" "$scratch/b.bin" ::GONE.BIN || fail "mcopy failed"
    mdel -i "$image" ::GONE.BIN || fail "mdel failed"

    local free total serial shown
    free=$(mdir -i "$image" :: | sed -n 's/ bytes free//p' | tr -d ' ')
    info=$(minfo -i "$image" ::) || fail "minfo failed"
    local bps spc reserved fats slots sectors fatlen
    bps=$(field 'sector size') spc=$(field 'cluster size') reserved=$(field 'reserved (boot) sectors')
    fats=$(field fats) slots=$(field 'max available root directory slots')
    sectors=$(field 'small size')
    [ "${sectors:-0}" = 0 ] && sectors=$(field 'big size')
    fatlen=$(field 'sectors per fat')
    [ "${fatlen:-0}" = 0 ] && fatlen=$(sed -n 's/^Big fatlen=\([0-9]*\).*/\1/p' <<<"$info")
    local rootSectors=$(((slots * 32 + bps - 1) / bps))
    total=$((((sectors - reserved - fats * fatlen - rootSectors) / spc) * spc * bps))
    serial=$(sed -n 's/^serial number: *\([0-9A-Fa-f]*\).*/\1/p' <<<"$info")
    shown=$(mlabel -s -i "$image" :: | sed -n 's/^ *Volume label is \(.*\)$/\1/p' | sed 's/ *$//')
    [ "$shown" = "$label" ] || fail "mlabel shows \"$shown\" for FAT$kind, made with \"$label\""
    echo "FAT$kind: $free bytes free of $total, label \"$shown\", serial $serial"
    [ -n "$free" ] && [ "$total" -gt 0 ] && [ -n "$serial" ] || fail "mtools' report of FAT$kind unread"

    local windows_image="Z:$(readlink -f "$image" | tr / '\\')"
    MB_TEST_ENV="MB_DOSDEVICES=o:=$drive|VILOSIM_QUERY_IMAGE=$windows_image|VILOSIM_QUERY_FREE=$free|VILOSIM_QUERY_TOTAL=$total|VILOSIM_QUERY_LABEL=$shown|VILOSIM_QUERY_SERIAL=$serial|VILOSIM_QUERY_FS=$fsname" \
        "$run" "$exe" "${@:5}" || fail "the Windows side failed for FAT$kind"
    rm -f "$image"
}

check 12 2048 "" FAT --gtest_filter='VolumeQueries.*-*Release*'
check 16 16384 LARK FAT --gtest_filter='VolumeQueries.*'
check 32 40000 "MY PLAYER" FAT32 --gtest_filter='VolumeQueries.*-*Release*'
echo "volume-queries: every image answered as mtools reports it"
