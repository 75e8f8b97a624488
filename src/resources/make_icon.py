#!/usr/bin/env python3
"""Writes kivinstall.ico, the installer's own icon 3000: an open carton with
an arrow going into it, as a 32x32 and a 16x16 image in the 16 standard VGA
colours. Both images are 4 bits per pixel so the icon costs about 1 KB of the
installer's size.

    python3 make_icon.py [output]     (default: kivinstall.ico beside this file)

The .ico is committed; run this again only after changing the pictures.
"""
import os
import struct
import sys

# The 16-colour palette every display since the EGA has, as (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, NAVY, GREY, YELLOW, BLUE, WHITE = 0, 3, 4, 8, 11, 12, 15
CLEAR = None


class Picture:
    def __init__(self, size):
        self.size = size
        self.pixels = [[CLEAR] * size for _ in range(size)]

    def fill(self, left, top, right, bottom, colour):
        """Fills the rectangle with corners (left, top) and (right, bottom), inclusive."""
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.pixels[y][x] = colour

    def frame(self, left, top, right, bottom, colour):
        self.fill(left, top, right, top, colour)
        self.fill(left, bottom, right, bottom, colour)
        self.fill(left, top, left, bottom, colour)
        self.fill(right, top, right, bottom, colour)

    def arrow(self, centre, top, shaft, head_top, tip, fill, edge):
        """A downward arrow: a shaft of half-width `shaft` from `top`, then a
        head that narrows by one pixel per row from `head_top` to `tip`."""
        self.fill(centre - shaft, top, centre + shaft - 1, head_top - 1, fill)
        self.frame(centre - shaft, top, centre + shaft - 1, head_top - 1, edge)
        half = tip - head_top + 1
        for row, y in enumerate(range(head_top, tip + 1)):
            w = half - row
            self.fill(centre - w, y, centre + w - 1, y, fill)
            self.pixels[y][centre - w] = edge
            self.pixels[y][centre + w - 1] = edge
        self.fill(centre - shaft + 1, head_top - 1, centre + shaft - 2, head_top - 1, fill)
        self.fill(centre - half, head_top, centre + half - 1, head_top, edge)
        self.fill(centre - shaft + 1, head_top, centre + shaft - 2, head_top, fill)


def large():
    p = Picture(32)
    # The carton's inside and its open flaps, then the arrow, then the front,
    # which hides the arrow's tip so that it goes into the carton.
    p.fill(6, 14, 25, 18, OLIVE)
    p.frame(6, 14, 25, 18, BLACK)
    p.fill(1, 11, 6, 14, YELLOW)
    p.frame(1, 11, 6, 14, BLACK)
    p.fill(25, 11, 30, 14, YELLOW)
    p.frame(25, 11, 30, 14, BLACK)
    p.arrow(16, 0, 3, 10, 18, BLUE, NAVY)
    p.fill(4, 18, 27, 30, YELLOW)
    p.frame(4, 18, 27, 30, BLACK)
    p.fill(5, 29, 26, 29, OLIVE)
    p.fill(5, 21, 26, 22, OLIVE)
    return p


def small():
    p = Picture(16)
    p.fill(3, 7, 12, 9, OLIVE)
    p.frame(3, 7, 12, 9, BLACK)
    p.fill(0, 5, 3, 7, YELLOW)
    p.frame(0, 5, 3, 7, BLACK)
    p.fill(12, 5, 15, 7, YELLOW)
    p.frame(12, 5, 15, 7, BLACK)
    p.arrow(8, 0, 2, 5, 9, BLUE, NAVY)
    p.fill(2, 9, 13, 15, YELLOW)
    p.frame(2, 9, 13, 15, BLACK)
    p.fill(3, 11, 12, 11, OLIVE)
    return p


def image_bytes(p):
    """One icon image: BITMAPINFOHEADER of double height, palette, the colour
    rows and the transparency mask, both bottom-up, rows padded to 4 bytes."""
    n = p.size
    colour_row = (n * 4 + 31) // 32 * 4
    mask_row = (n + 31) // 32 * 4
    colours = bytearray()
    mask = bytearray()
    for y in reversed(range(n)):
        row = bytearray(colour_row)
        bits = bytearray(mask_row)
        for x in range(n):
            c = p.pixels[y][x]
            if c is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        colours += row
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colours) + bytes(mask)


def icon_file(pictures):
    images = [image_bytes(p) for p in pictures]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for p, data in zip(pictures, images):
        out += struct.pack("<BBBBHHII", p.size, p.size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "kivinstall.ico")
    data = icon_file([large(), small()])
    temporary = target + ".tmp"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, target)


if __name__ == "__main__":
    main()
