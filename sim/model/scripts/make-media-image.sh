#!/usr/bin/env bash
# Makes an image of the simulated player's media:
#   make-media-image.sh flash OUT PAGES_PER_BLOCK BLOCKS [BAD_BLOCK ...]
#       an erased flash chip: BLOCKS blocks of PAGES_PER_BLOCK pages of 528
#       bytes (512 data, 16 spare), all 0xFF; each BAD_BLOCK carries the
#       factory mark (block status byte, spare offset 5 of its first page, 0)
#   make-media-image.sh card OUT BLOCKS
#       an MMC card of BLOCKS 512-byte blocks, all zero
set -euo pipefail
kind=${1:-}
out=${2:-}
case "$kind" in
flash)
    pages=$3
    blocks=$4
    shift 4
    python3 - "$out" "$pages" "$blocks" "$@" <<'PY'
import sys
out, pages, blocks = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
bad = [int(b) for b in sys.argv[4:]]
page = 528
with open(out, 'wb') as f:
    f.truncate(0)
    chunk = b'\xff' * (page * pages)
    for _ in range(blocks):
        f.write(chunk)
    for b in bad:
        if not 0 <= b < blocks:
            sys.exit('bad block %d is not on the chip' % b)
        f.seek(b * pages * page + 512 + 5)
        f.write(b'\x00')
PY
    ;;
card)
    blocks=$3
    rm -f "$out"
    truncate -s $((blocks * 512)) "$out"
    ;;
*)
    echo "usage: $0 flash OUT PAGES_PER_BLOCK BLOCKS [BAD_BLOCK ...] | card OUT BLOCKS" >&2
    exit 2
    ;;
esac
