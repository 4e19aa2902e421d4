#!/usr/bin/env bash
# QvMp3's card and flash functions against the simulated player's media:
# makes a card image and two flash images (16 pages a block, 1024 blocks,
# block 2 marked bad), runs the Windows test program, then checks from Linux
# that the card's partition and the flash's logical disk (read back through
# the block address fields of the pages, by this script's own reader) pass
# fsck.fat and mdir.
#   media-through-driver.sh wine-run test.exe scratch-folder srec-file
set -u
run=${1:?wine-run} exe=${2:?test program} scratch=${3:?scratch folder} srec=${4:?S-record file}
FSCK=${FSCK_FAT:-/usr/sbin/fsck.fat}
top=$(cd "$(dirname "$0")/../../.." && pwd)
make="$top/sim/model/scripts/make-media-image.sh"
fail() { echo "media-through-driver: $*" >&2; exit 1; }
mkdir -p "$scratch"
card="$scratch/card.img" flash="$scratch/flash.img" firmware="$scratch/firmware-flash.img"
"$make" card "$card" 16384 || fail "no card image"
"$make" flash "$flash" 16 1024 2 || fail "no flash image"
"$make" flash "$firmware" 16 1024 2 || fail "no firmware flash image"
win() { echo "Z:$(readlink -f "$1" | tr / '\\')"; }
MB_TEST_ENV="QVMP3_CARD_IMAGE=$(win "$card")|QVMP3_FLASH_IMAGE=$(win "$flash")|QVMP3_FIRMWARE_FLASH_IMAGE=$(win "$firmware")|QVMP3_SRECORD_FILE=$(win "$srec")" \
    "$run" "$exe" --gtest_filter='*' || fail "the Windows side failed"

export MTOOLS_SKIP_CHECK=1
# The card: one partition from block 1.
partition="$scratch/card-partition.img"
python3 - "$card" "$partition" <<'PY' || fail "the card's partition table is wrong"
import struct, sys
image = open(sys.argv[1], 'rb').read()
entry = image[446:462]
assert image[510:512] == b'\x55\xaa' and entry[0] == 0x80, 'no partition table'
first, count = struct.unpack_from('<II', entry, 8)
assert first == 1 and count <= len(image) // 512 - 1, (first, count)
open(sys.argv[2], 'wb').write(image[first * 512:(first + count) * 512])
PY
"$FSCK" -n "$partition" | tee "$scratch/card-fsck.txt"
mdir -i "$partition" ::/ || fail "mdir cannot read the card"

# The flash: logical block n is the block whose first page's spare carries the
# address field of n (marker 0x10, even parity); its pages are its sectors.
disk="$scratch/flash-disk.img"
python3 - "$flash" "$disk" <<'PY' || fail "the flash's logical disk is wrong"
import struct, sys
pages, blocks, page = 16, 1024, 528
image = open(sys.argv[1], 'rb').read()
logical = {}
for b in range(blocks):
    spare = image[b * pages * page + 512:b * pages * page + 528]
    if spare[5] != 0xFF or spare[6] & 0xF8 != 0x10:
        continue
    field = spare[6] << 8 | spare[7]
    if bin(field).count('1') % 2:
        continue
    n = (spare[6] & 7) << 7 | spare[7] >> 1
    assert n not in logical, 'logical block %d twice' % n
    logical[n] = b
assert 2 not in logical.values(), 'the bad block holds data'
def sector(s):
    b = logical.get(s // pages)
    if b is None:
        return bytes(512)
    at = (b * pages + s % pages) * page
    return image[at:at + 512]
mbr = sector(0)
assert mbr[510:512] == b'\x55\xaa', 'no partition table'
first, count = struct.unpack_from('<II', mbr, 454)
with open(sys.argv[2], 'wb') as out:
    for s in range(first, first + len(logical) * pages):
        out.write(sector(s))
    out.truncate(count * 512)
PY
"$FSCK" -n "$disk" | tee "$scratch/flash-fsck.txt"
mdir -i "$disk" ::/ || fail "mdir cannot read the flash disk"
for report in card flash; do
    # fsck.fat 4.2 calls a boot sector without a volume label invalid; any
    # other remark is a fault.
    if grep -v -e '^fsck.fat ' -e "Label '" -e 'Auto-removing label' -e 'Leaving filesystem unchanged' \
        -e ' files, ' "$scratch/$report-fsck.txt" | grep -q .; then
        fail "fsck.fat finds the $report file system damaged"
    fi
done
echo "media-through-driver: the card and the flash disk are consistent"
