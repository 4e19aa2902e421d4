#!/usr/bin/env python3
"""Makes the updater's own pictures: the searching animation (AVI resource
128, uncompressed 24-bit frames that the animation control plays without a
codec) and the program icon (16 x 16 and 32 x 32). Run it from this folder;
the outputs are committed next to it.

    ./make-resources.py            # writes searching.avi and updater.ico
"""
import struct
import subprocess

W, H, FRAMES = 96, 24, 12
BACK = (0xF0, 0xF0, 0xF0)          # a light grey that matches dialogs
BLOCK = (0xC0, 0x50, 0x20)         # blue, in BGR order


def frame(n):
    """A player-shaped block sliding right, with a faint trail."""
    rows = []
    x0 = (n * W // FRAMES) - 12
    for y in range(H):
        row = bytearray()
        for x in range(W):
            pix = BACK
            if 4 <= y < 20:
                d = x - x0
                if 0 <= d < 12:
                    pix = BLOCK
                elif -12 <= d < 0 and y % 2 == 0:
                    pix = (0xE0, 0xB0, 0x90)
            row += bytes(pix)
        rows.append(bytes(row))
    return b"".join(rows)


def make_avi(path):
    # ffmpeg writes 24-bit frames top-down (a negative height), which the
    # animation control does not draw: the frames go in upside down and the
    # header is made bottom-up afterwards.
    rows = W * 3
    raw = b"".join(b"".join(frame(n)[y * rows:(y + 1) * rows] for y in range(H - 1, -1, -1))
                   for n in range(FRAMES))
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
                    "-f", "rawvideo", "-pix_fmt", "bgr24", "-s", f"{W}x{H}", "-r", "8", "-i", "-",
                    "-c:v", "rawvideo", "-pix_fmt", "bgr24", "-f", "avi", path],
                   input=raw, check=True)
    with open(path, "r+b") as f:
        data = bytearray(f.read())
        at = data.index(b"strf") + 8          # the BITMAPINFOHEADER
        width, height = struct.unpack_from("<ii", data, at + 4)
        assert (width, abs(height)) == (W, H)
        struct.pack_into("<i", data, at + 8, H)
        f.seek(0)
        f.write(data)


def icon_image(size):
    """A 32-bit icon image (BITMAPINFOHEADER, bottom-up pixels, AND mask)."""
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            m = size // 8
            body = m <= x < size - m and 0 <= y < size
            screen = 2 * m <= x < size - 2 * m and m <= y < size // 2
            wheel = (x - size / 2) ** 2 + (y - size * 0.72) ** 2 < (size / 6) ** 2
            if screen:
                pixels += bytes((0xF0, 0xD0, 0x90, 0xFF))
            elif wheel:
                pixels += bytes((0x60, 0x60, 0x60, 0xFF))
            elif body:
                pixels += bytes((0xC0, 0x50, 0x20, 0xFF))
            else:
                pixels += bytes((0, 0, 0, 0))
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + mask


def make_icon(path):
    images = [icon_image(16), icon_image(32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    make_avi("searching.avi")
    make_icon("updater.ico")
