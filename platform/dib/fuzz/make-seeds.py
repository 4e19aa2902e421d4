#!/usr/bin/python3
"""Writes the bitmap fuzzer's seeds: small files of each kind it takes and
one it leaves (run-length)."""
import os
import struct
import sys


def bmp(width, height, bits, compression=0, colors=None, header=40, masks=b""):
    if colors is None:
        colors = (1 << bits) if bits <= 8 else 0
    stride = (width * bits + 31) // 32 * 4
    rows = bytes((x * 7 + y) & 0xFF for y in range(abs(height)) for x in range(stride))
    table = b"".join(struct.pack("<BBBB", i * 13 & 255, i * 29 & 255, i * 47 & 255, 0) for i in range(colors))
    info = struct.pack("<IiiHHIIiiII", header, width, height, 1, bits, compression, len(rows), 2835, 2835,
                       colors if bits > 8 or colors != 1 << bits else 0, 0)
    info += b"\0" * (header - 40) + masks + table
    offset = 14 + len(info)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + info + rows


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "seeds")
    os.makedirs(out, exist_ok=True)
    seeds = {
        "mono.bmp": bmp(9, 3, 1),
        "palette16.bmp": bmp(5, -4, 4),
        "palette256.bmp": bmp(4, 4, 8, colors=12),
        "true24.bmp": bmp(3, 2, 24),
        "fields32.bmp": bmp(2, 2, 32, compression=3, masks=struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)),
        "rle8.bmp": bmp(4, 4, 8, compression=1),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
