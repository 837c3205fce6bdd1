#!/usr/bin/env python3
"""Writes the program's icon as a Windows .ico file: the picture of the
window icon, read from its source (the IconArt rows of src/app/AppIcon.cpp),
32 x 32 pixels at 4 bits per pixel in the standard 16-colour palette with a
1-bit transparency mask.

    make-ico.py APPICON_CPP OUTPUT_ICO
"""
import re
import struct
import sys

PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
SIZE = 32


def read_art(path):
    source = open(path, encoding="utf-8").read()
    block = re.search(r"IconArt\[IconSize\]\s*=\s*\{(.*?)\};", source, re.S)
    if not block:
        sys.exit(f"make-ico: no IconArt in {path}")
    rows = re.findall(r'"([ 0-9A-F]*)"', block.group(1))
    if len(rows) != SIZE or any(len(row) != SIZE for row in rows):
        sys.exit(f"make-ico: IconArt in {path} is not {SIZE} rows of {SIZE} pixels")
    return rows


def ico(rows):
    colors = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up, as bitmaps are stored
        nibbles = [0 if c == " " else int(c, 16) for c in row]
        colors += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2))
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c == " " else 0)
        mask += bits.to_bytes(SIZE // 8, "big")
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(colors) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    image = header + palette + bytes(colors) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 22)
    return directory + image


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    data = ico(read_art(sys.argv[1]))
    with open(sys.argv[2], "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
