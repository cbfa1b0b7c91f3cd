#!/usr/bin/env python3
"""Draws the 16 x 16 page icon of the preview stylesheet and prints it as base64.

The icon is a single 32-bit image in ICO format: a 6-byte header, one 16-byte
directory entry, a 40-byte BITMAPINFOHEADER (height doubled, as ICO wants), the
BGRA pixels from the bottom row up and a 1-bit AND mask, 1,150 bytes in all.

    tools/make_icon.py              prints the base64 text
    tools/make_icon.py FILE.ico     also writes the icon file
    tools/make_icon.py --update src/output/preview.lnr.xsl
                                    replaces the icon inside the stylesheet's data URI

Run by hand after changing the drawing; the build does not run it, so the
stylesheet in the sources is what the program carries.
"""

import base64
import re
import struct
import sys

# A purple letter on white, drawn row by row from the top.
GLYPH = [
    "................",
    "................",
    ".....########...",
    ".....########...",
    ".....##....##...",
    ".....##....##...",
    ".....##....##...",
    ".....##....##...",
    ".....##....##...",
    ".....##....##...",
    "....##.....##...",
    "....##.....##...",
    "...##......##...",
    "..##.......##...",
    "................",
    "................",
]

COLOURS = {
    ".": (0xFF, 0xFF, 0xFF, 0xFF),  # white
    "#": (0x66, 0x00, 0x66, 0xFF),  # the page's heading purple
}

SIZE = 16


def icon_bytes():
    assert len(GLYPH) == SIZE and all(len(row) == SIZE for row in GLYPH)
    pixels = bytearray()
    for row in reversed(GLYPH):  # bitmaps are stored bottom-up
        for cell in row:
            r, g, b, a = COLOURS[cell]
            pixels += bytes((b, g, r, a))
    # Every pixel is opaque; rows of the mask are padded to four bytes.
    mask = bytes(SIZE * 4)
    image_size = 40 + len(pixels) + len(mask)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, image_size, 6 + 16)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0,
                       len(pixels) + len(mask), 0, 0, 0, 0)
    data = header + entry + info + bytes(pixels) + mask
    assert len(data) == 1150
    return data


def main(argv):
    data = icon_bytes()
    text = base64.b64encode(data).decode("ascii")
    if len(argv) == 3 and argv[1] == "--update":
        with open(argv[2], encoding="utf-8", newline="") as f:
            xsl = f.read()
        xsl, count = re.subn(r"(data:image/ico;base64,)[A-Za-z0-9+/=]*",
                             lambda m: m.group(1) + text, xsl)
        if count != 1:
            sys.exit("the stylesheet must hold exactly one icon data URI")
        with open(argv[2], "w", encoding="utf-8", newline="") as f:
            f.write(xsl)
        return
    if len(argv) == 2:
        with open(argv[1], "wb") as f:
            f.write(data)
    print(text)


if __name__ == "__main__":
    main(sys.argv)
