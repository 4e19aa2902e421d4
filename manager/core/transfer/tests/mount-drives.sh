#!/bin/sh
# Drives of the transfer engine tests.
#   mount-drives.sh up WORK    folders for R: and the PC side, a 3 MB tmpfs for
#                              S: (a memory that fills up) and a 4 GiB tmpfs
#                              for T: (its total is exactly 4 GiB; nothing is
#                              allocated until written)
#   mount-drives.sh down WORK  unmounts them again
set -eu
what=$1
work=$2
case "$what" in
up)
    mkdir -p "$work/player" "$work/pc" "$work/small" "$work/big" "$work/xdg"
    # A folder left renamed by an interrupted run (the vanished player).
    if [ -d "$work/player.gone" ]; then rm -rf "$work/player"; mv "$work/player.gone" "$work/player"; fi
    mountpoint -q "$work/small" || mount -t tmpfs -o size=3m tmpfs "$work/small"
    mountpoint -q "$work/big" || mount -t tmpfs -o size=4g tmpfs "$work/big"
    ;;
down)
    for m in small big; do
        if mountpoint -q "$work/$m"; then umount "$work/$m" || umount -l "$work/$m"; fi
    done
    ;;
*)
    echo "usage: $0 up|down WORK" >&2
    exit 2
    ;;
esac
