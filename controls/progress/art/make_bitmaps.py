#!/usr/bin/env python3
"""Draws the progress control's bitmaps: the background (209), the left cap,
middle piece and right cap of each of the four colours (216 + 3c .. 218 + 3c)
and the toolbox bitmap (102). 24-bit BMP files, written beside this script
unless a folder is given.

    art/make_bitmaps.py [output-folder]
"""
import os
import struct
import sys

# Colour c: red, blue, yellow, green, as the control names them.
COLOURS = [(214, 40, 40), (40, 90, 214), (230, 200, 30), (40, 170, 60)]


def write_bmp(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b), y from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def shade(colour, factor):
    return tuple(max(0, min(255, int(v * factor))) for v in colour)


def background(x, y):
    # A sunken groove: dark frame, darker trough, a light line at the bottom.
    if y == 0 or x == 0:
        return (96, 96, 104)
    if y == 13 or x == 373:
        return (200, 200, 208)
    return (24 + y, 26 + y, 32 + y)


def piece(colour, kind):
    # Rows run from light at the top to dark at the bottom; the caps darken
    # toward their outer edge so every column of a cap differs from the middle.
    def pixel(x, y):
        base = shade(colour, 1.25 - 0.06 * y)
        if kind == "left":
            return shade(base, 0.55 + 0.09 * x)
        if kind == "right":
            return shade(base, 0.91 - 0.09 * x)
        return base
    return pixel


def toolbox(x, y):
    if 3 <= y <= 11 and 1 <= x <= 14:
        return COLOURS[3] if x < 9 else (24, 26, 32)
    return (192, 192, 192)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "background.bmp"), 374, 14, background)
    for c, colour in enumerate(COLOURS):
        write_bmp(os.path.join(out, "left%d.bmp" % c), 5, 10, piece(colour, "left"))
        write_bmp(os.path.join(out, "middle%d.bmp" % c), 1, 10, piece(colour, "middle"))
        write_bmp(os.path.join(out, "right%d.bmp" % c), 5, 10, piece(colour, "right"))
    write_bmp(os.path.join(out, "toolbox.bmp"), 16, 15, toolbox)


if __name__ == "__main__":
    main()
