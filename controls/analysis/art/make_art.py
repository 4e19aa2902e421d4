#!/usr/bin/python3
"""Draws TrackScope's toolbox bitmaps (16 x 15, one per control: a note for
MP3, a wave for WMA, a bar chart for AAC) and its icon (32 x 32, a
magnifier over a note). Run from any folder; writes beside itself.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bmp(path, width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) gives (r, g, b) with y from the top."""
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        data += line + b"\0" * (row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, "wb").write(header + info + data)


def note(x, y):
    return (x in (9, 10) and 2 <= y <= 10) or ((x - 7) ** 2 + (y - 11) ** 2 <= 5) or (y in (2, 3) and 9 <= x <= 13)


def wave(x, y):
    import math
    return abs(y - (7 + 4 * math.sin(x * 0.8))) < 1.2


def bars(x, y):
    heights = {2: 9, 3: 9, 6: 5, 7: 5, 10: 11, 11: 11, 13: 7}
    return x in heights and y >= 14 - heights[x]


def toolbox(name, shape, colour):
    bmp(os.path.join(HERE, name), 16, 15, lambda x, y: colour if shape(x, y) else (192, 192, 192))


def icon(path):
    # One 32 x 32 image, 32-bit with its AND mask.
    size = 32
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            inside = (x - 13) ** 2 + (y - 13) ** 2 <= 100
            ring = 64 <= (x - 13) ** 2 + (y - 13) ** 2 <= 110
            handle = 20 <= x <= 29 and 20 <= y <= 29 and abs(x - y) <= 2
            if ring or handle:
                c = (40, 40, 40, 255)
            elif inside and note(x - 5, y - 6):
                c = (0, 70, 160, 255)
            elif inside:
                c = (230, 240, 255, 255)
            else:
                c = (0, 0, 0, 0)
            pixels += bytes((c[2], c[1], c[0], c[3]))
    mask = b"\0" * (size * 4)  # 32 bits per row, all opaque: alpha decides
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = info + pixels + mask
    header = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
    open(path, "wb").write(header + image)


if __name__ == "__main__":
    toolbox("toolbox_mp3.bmp", note, (0, 70, 160))
    toolbox("toolbox_wma.bmp", wave, (160, 40, 0))
    toolbox("toolbox_aac.bmp", bars, (0, 120, 40))
    icon(os.path.join(HERE, "trackscope.ico"))
