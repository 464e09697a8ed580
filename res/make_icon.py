#!/usr/bin/env python3
"""Draws the Tavix program icon and writes it as res/Tavix.ico.

The icon is a yellow folder with a clipboard in front of it: the tool takes
the items selected in a folder window and puts their paths on the clipboard.

The file holds exactly one image: 32 x 32 pixels, 16 colours (4 bits per
pixel) with the standard 16-colour VGA palette, and a 1-bit AND mask that
makes the background transparent.  The output is byte-for-byte the same on
every run.

Usage: python3 res/make_icon.py [output.ico]
"""

import os
import struct
import sys

SIZE = 32

# The standard 16-colour VGA palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]

BLACK, MAROON, OLIVE, NAVY = 0, 1, 3, 4
SILVER, GREY, YELLOW, BLUE, WHITE = 7, 8, 11, 12, 15

# Marks a pixel as background; it ends up black in the colour bitmap and
# set in the AND mask, so the desktop shows through.
CLEAR = None


class Canvas:
    """A 32 x 32 grid of palette indices, row 0 at the top."""

    def __init__(self):
        self.px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.px[y][x] = colour

    def box(self, x0, y0, x1, y1, fill, outline=BLACK):
        """A filled rectangle with a one-pixel outline."""
        self.fill(x0, y0, x1, y1, outline)
        self.fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)

    def dot(self, x, y, colour):
        self.px[y][x] = colour


def draw():
    c = Canvas()

    # Folder: a tab on the back panel, then the body.
    c.box(2, 4, 11, 8, YELLOW)
    c.dot(2, 4, CLEAR)          # rounded outer corners of the tab
    c.dot(11, 4, CLEAR)
    c.dot(3, 4, BLACK)
    c.fill(3, 5, 10, 5, WHITE)  # light catching the top of the tab
    c.box(1, 7, 23, 24, YELLOW)
    c.fill(2, 8, 22, 8, WHITE)  # highlight along the top edge
    c.fill(2, 9, 2, 23, WHITE)  # and down the left edge
    c.fill(3, 23, 22, 23, OLIVE)  # shadow along the bottom
    c.fill(22, 9, 22, 22, OLIVE)  # and down the right edge
    c.fill(2, 7, 10, 7, YELLOW)   # the tab opens into the body

    # Clipboard in front of the folder, lower right.
    c.box(13, 11, 30, 31, MAROON)
    c.box(15, 14, 28, 29, WHITE, outline=GREY)

    # Lines of text on the paper: short path-like entries.
    for y, length in ((17, 10), (20, 8), (23, 10), (26, 6)):
        c.fill(17, y, 17 + length - 1, y, NAVY)
        c.dot(17, y, BLUE)   # each line starts with a bright bullet

    # Metal clip at the top of the board, with a hole for the hook.
    c.box(17, 9, 26, 14, SILVER)
    c.dot(17, 9, CLEAR)
    c.dot(26, 9, CLEAR)
    c.fill(18, 9, 25, 9, BLACK)
    c.fill(20, 7, 23, 9, BLACK)   # the hook rising above the clip
    c.fill(21, 8, 22, 8, SILVER)
    c.fill(18, 13, 25, 13, GREY)  # shadow under the clip's lip
    c.fill(18, 10, 25, 10, WHITE)  # shine on the clip
    return c


def encode_ico(canvas):
    """Packs the canvas into the bytes of a one-image 16-colour .ico file."""
    xor_stride = (SIZE * 4 + 31) // 32 * 4   # 4 bits a pixel, rows padded to 4 bytes
    and_stride = (SIZE + 31) // 32 * 4       # 1 bit a pixel, rows padded to 4 bytes

    xor_rows = []
    and_rows = []
    for y in range(SIZE - 1, -1, -1):        # bitmaps are stored bottom row first
        row = canvas.px[y]
        xor = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = 0 if colour is CLEAR else colour
            if x % 2 == 0:
                xor[x // 2] |= index << 4
            else:
                xor[x // 2] |= index
            if colour is CLEAR:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_rows.append(bytes(xor))
        and_rows.append(bytes(mask))
    xor_bits = b"".join(xor_rows)
    and_bits = b"".join(and_rows)

    header = struct.pack(
        "<IiiHHIIiiII",
        40,                  # biSize
        SIZE,                # biWidth
        SIZE * 2,            # biHeight: colour bitmap and mask stacked
        1,                   # biPlanes
        4,                   # biBitCount
        0,                   # biCompression: BI_RGB
        len(xor_bits) + len(and_bits),  # biSizeImage
        0, 0,                # pixels per metre
        0, 0,                # biClrUsed, biClrImportant: full palette
    )
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + xor_bits + and_bits

    count = 1
    offset = 6 + 16 * count
    icondir = struct.pack("<HHH", 0, 1, count)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), offset)
    return icondir + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "Tavix.ico")
    data = encode_ico(draw())
    with open(out, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (out, len(data)))


if __name__ == "__main__":
    main()
