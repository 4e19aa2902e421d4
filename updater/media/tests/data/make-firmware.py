#!/usr/bin/env python3
"""Makes the test firmware files in firmware/: three with a version header and
the chip family marker, one raw. The versions and image sizes here are the
ones the tests check after writing and reading back:

  file             product  component  image bytes  layout
  bootmanager.sb   3.1.4    1.0.7      65536        header, exactly one 64 KB run
  usbmsc.sb        3.1.4    2.3.11     100000       title line, component line first
  qvrxsys.sb       3.1.4    3.1.4      300000       header, CR LF lines
  resource.bin     0.0.0    0.0.0      150000       raw (binary from its first byte)
"""
import os

MARKER = b"\x1aQVRX"


def image(seed, size):
    # A small LCG: reproducible on every machine, and it yields 0x1A and
    # line feeds inside the image, which must not disturb the loader.
    out = bytearray(size)
    x = seed
    for i in range(size):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out[i] = (x >> 16) & 0xFF
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = os.path.join(here, "firmware")
    os.makedirs(folder, exist_ok=True)
    files = {
        "bootmanager.sb": b"Product Version: 3.1.4\nComponent Version: 1.0.7\n" + MARKER + image(1, 65536),
        "usbmsc.sb": b"Vilo Lark USB mass storage firmware\nComponent Version: 2.3.11\nProduct Version: 3.1.4\n"
        + MARKER + image(2, 100000),
        "qvrxsys.sb": b"Product Version: 3.1.4\r\nComponent Version: 3.1.4\r\n" + MARKER + image(3, 300000),
        "resource.bin": b"\x00\x01QVRS" + image(4, 150000 - 6),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
