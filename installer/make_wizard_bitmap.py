#!/usr/bin/env python3
"""Draw the picture on the left of the installer's first and last pages.

    python3 installer/make_wizard_bitmap.py OUTPUT.bmp

A 164 x 314 bitmap (the size the installer's pages show without scaling, 24 bits,
bottom-up BMP): a warm gradient in the colours of the help page with Pathwink's
golden folder, drawn by resources/make_icon.py at 96 pixels, in the upper part.
Only the standard library is used and the output is the same on every run.
"""

import os
import struct
import sys

sys.dont_write_bytecode = True  # leave no cache beside the icon's script
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources"))
import make_icon  # noqa: E402

WIDTH, HEIGHT = 164, 314
FOLDER = 96
FOLDER_TOP = 52
TOP = (253, 243, 220)     # the help page's soft accent
BOTTOM = (224, 160, 48)   # its amber
RULE = (168, 101, 10)     # its accent, as a thin line on the right edge


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def draw():
    rows = []
    for y in range(HEIGHT):
        t = (y / (HEIGHT - 1)) ** 1.6
        rows.append([mix(TOP, BOTTOM, t) for _ in range(WIDTH)])
    for y in range(HEIGHT):
        rows[y][WIDTH - 1] = RULE
    # The icon's 48-pixel drawing, twice as large, with lines as thick as they look there.
    make_icon.GEOMETRY[FOLDER] = {k: v * 2 for k, v in make_icon.GEOMETRY[48].items()}
    folder, _ = make_icon.render(FOLDER)
    left = (WIDTH - FOLDER) // 2
    for fy, line in enumerate(folder):
        for fx, (r, g, b, a) in enumerate(line):
            if a:
                under = rows[FOLDER_TOP + fy][left + fx]
                rows[FOLDER_TOP + fy][left + fx] = mix(under, (r, g, b), a / 255.0)
    return rows


def write_bmp(path, rows):
    stride = (WIDTH * 3 + 3) & ~3
    pixels = bytearray()
    for line in reversed(rows):  # bottom-up
        for r, g, b in line:
            pixels += bytes((int(round(b)), int(round(g)), int(round(r))))
        pixels += b"\0" * (stride - WIDTH * 3)
    header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset))
        out.write(header)
        out.write(pixels)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_wizard_bitmap.py OUTPUT.bmp\n")
        return 2
    write_bmp(argv[1], draw())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
