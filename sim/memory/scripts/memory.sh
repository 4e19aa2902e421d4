#!/usr/bin/env bash
# Starts, stops and unplugs the simulated player's memories (mb_memoryd).
#
#   memory.sh start STATE [--internal IMAGE | --new-internal KIB [LABEL]]
#                         [--external IMAGE | --new-external KIB [LABEL]]
#       serves each memory from its image: files under STATE/<name>/files,
#       the raw image as STATE/<name>/raw/image (<name> internal or external).
#       --new-* makes a fresh FAT image STATE/<name>.img first.
#   memory.sh stop STATE
#   memory.sh pull|insert STATE NAME     unplug a memory / plug it back
#   memory.sh status STATE
#   memory.sh fsck STATE NAME            fsck.fat -n of the memory's image
#   memory.sh order STATE NAME FOLDER NAME...   mdir lists FOLDER in this order
#
# Wine maps a memory as drive X with MB_DOSDEVICES "x:=STATE/internal/files
# x::=STATE/internal/raw/image". The daemon is build/native's mb_memoryd unless
# MB_MEMORYD names another.
set -uo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
daemon=${MB_MEMORYD:-$top/build/native/sim/memory/mb_memoryd}

die() { echo "memory.sh: $*" >&2; exit 1; }

make_image() {
    local image=$1 kib=$2 label=${3:-}
    local bits=16 cluster=(-s 1)
    # A FAT16 needs at least 4085 clusters, so smaller memories are FAT12;
    # above 32 MB one-sector clusters would be too many for a FAT16.
    [ "$kib" -lt 2100 ] && bits=12
    [ "$kib" -gt 32000 ] && cluster=()
    rm -f "$image"
    mkfs.fat -C -F "$bits" -S 512 "${cluster[@]}" ${label:+-n "$label"} "$image" "$kib" >/dev/null ||
        die "mkfs.fat failed for $image"
}

unmount_all() {
    local state=$1 dir
    for dir in "$state"/internal/files "$state"/internal/raw "$state"/external/files "$state"/external/raw; do
        if grep -q " $(readlink -f "$dir" 2>/dev/null) fuse" /proc/mounts 2>/dev/null; then
            umount -l "$dir" 2>/dev/null || fusermount3 -u -z "$dir" 2>/dev/null
        fi
    done
}

stop() {
    local state=$1
    [ -d "$state" ] || return 0
    if [ -S "$state/control" ]; then
        "$daemon" quit --control "$state/control" >/dev/null 2>&1
    fi
    if [ -f "$state/daemon.pid" ]; then
        local pid
        pid=$(cat "$state/daemon.pid")
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        if kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid" 2>/dev/null; fi
        rm -f "$state/daemon.pid"
    fi
    unmount_all "$state"
    rm -f "$state/control"
}

start() {
    local state=$1
    shift
    [ -x "$daemon" ] || die "no daemon at $daemon (build the native build first)"
    mkdir -p "$state" || die "cannot make $state"
    state=$(cd "$state" && pwd)
    stop "$state"
    local args=() name image
    while [ $# -gt 0 ]; do
        case "$1" in
            --internal|--external)
                name=${1#--}; image=$2; shift 2 ;;
            --new-internal|--new-external)
                name=${1#--new-}; image="$state/$name.img"
                local kib=$2 label=""
                shift 2
                if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then label=$1; shift; fi
                make_image "$image" "$kib" "$label" ;;
            *) die "unknown argument $1" ;;
        esac
        [ -f "$image" ] || die "no image $image"
        mkdir -p "$state/$name/files" "$state/$name/raw"
        args+=(--memory "$name" "$(readlink -f "$image")" "$state/$name/files" "$state/$name/raw")
        echo "$(readlink -f "$image")" >"$state/$name.image"
    done
    [ ${#args[@]} -gt 0 ] || die "no memory to serve"
    setsid "$daemon" serve --control "$state/control" "${args[@]}" </dev/null >>"$state/daemon.log" 2>&1 9>&- 8>&- &
    echo $! >"$state/daemon.pid"
    for _ in $(seq 1 200); do
        if "$daemon" status --control "$state/control" >/dev/null 2>&1; then
            return 0
        fi
        kill -0 "$(cat "$state/daemon.pid")" 2>/dev/null || break
        sleep 0.05
    done
    cat "$state/daemon.log" >&2
    die "the daemon did not start"
}

image_of() {
    [ -f "$1/$2.image" ] || die "no memory $2 in $1"
    cat "$1/$2.image"
}

cmd=${1:-}
[ $# -ge 2 ] || { sed -n '2,19p' "$0" >&2; exit 2; }
state=$2
shift 2
case "$cmd" in
    start) start "$state" "$@" ;;
    stop) stop "$state" ;;
    pull|insert) "$daemon" "$cmd" --control "$state/control" "$1" ;;
    status) "$daemon" status --control "$state/control" ;;
    fsck) fsck.fat -n "$(image_of "$state" "$1")" ;;
    order)
        image=$(image_of "$state" "$1"); folder=$2; shift 2
        want=$(printf '%s\n' "$@")
        got=$(MTOOLS_SKIP_CHECK=1 mdir -b -i "$image" "::$folder" | sed -e 's:/$::' -e 's:.*/::')
        if [ "$want" != "$got" ]; then
            echo "mdir lists ::$folder as:"; echo "$got"; echo "expected:"; echo "$want"
            exit 1
        fi
        echo "mdir order of ::$folder is as expected" ;;
    *) die "unknown command $cmd" ;;
esac
