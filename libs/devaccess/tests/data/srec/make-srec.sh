#!/usr/bin/env bash
# Makes the S-record fixtures of the firmware image tests with objcopy:
#   program.bin     96 24-bit words (word k = k * 0x010203 + 7, little-endian)
#   program.s19     objcopy -O srec of it at address 0x0100, 24 data bytes a
#                   record (8 words), with an S0 naming memory space 1 and an
#                   S9 record of count 11 carrying version 1.2.3.4
#   plain-end.s19   the same records ending in objcopy's own S9 (count 3)
# Run from anywhere; writes next to itself.
set -euo pipefail
cd "$(dirname "$0")"
python3 - <<'PY'
import struct
words = [(k * 0x010203 + 7) & 0xFFFFFF for k in range(96)]
open('program.bin', 'wb').write(b''.join(struct.pack('<I', w)[:3] for w in words))
PY
objcopy -I binary -O srec --srec-len=24 --change-addresses=0x0100 program.bin plain-end.s19
python3 - <<'PY'
def record(kind, body):
    count = len(body) + 1
    check = (~(count + sum(body))) & 0xFF
    return 'S%d%02X%s%02X' % (kind, count, ''.join('%02X' % b for b in body), check)
lines = open('plain-end.s19').read().split()
s1 = [l for l in lines if l.startswith('S1')]
assert s1 and all(l.startswith('S1') or l.startswith('S0') or l.startswith('S5') or l.startswith('S9') for l in lines)
head = record(0, [0x00, 0x01] + list(b'PROGRAM'))
tail = record(9, [0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04])
open('program.s19', 'w', newline='\r\n').write('\n'.join([head] + s1 + [tail]) + '\n')
PY
