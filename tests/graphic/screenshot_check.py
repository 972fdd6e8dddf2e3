#!/usr/bin/env python3
"""Checks a screenshot against the screen it was taken of.

usage: screenshot_check.py SCRSHOT_BMP FRAME_RAW

FRAME_RAW holds the screen's 800 x 600 colours, row by row from the top, each
a little-endian 32-bit 0xRRGGBB. The BMP is read here on its own terms: its
headers, its palette and its pixel rows, bottom row first. The palette must
hold the screen's distinct colours in the order first met as the rows are
stored; every pixel must show its own colour, or, past 256 colours, the
nearest colour of the palette. Exit status 0 when all holds.
"""

import struct
import sys

WIDTH, HEIGHT = 800, 600


def fail(message):
    print("screenshot_check: " + message)
    sys.exit(1)


def main():
    bmp = open(sys.argv[1], "rb").read()
    raw = open(sys.argv[2], "rb").read()
    frame = struct.unpack("<%dI" % (WIDTH * HEIGHT), raw)
    if len(bmp) != 481078:
        fail("file is %d bytes long" % len(bmp))
    kind, size, reserved, offset = struct.unpack_from("<2sIII", bmp, 0)
    header = struct.unpack_from("<IiiHHIIiiII", bmp, 14)
    if (kind, size, reserved, offset) != (b"BM", 481078, 0, 1078):
        fail("file header %r" % ((kind, size, reserved, offset),))
    if header != (40, WIDTH, HEIGHT, 1, 8, 0, 0, 3396, 3396, 0, 0):
        fail("information header %r" % (header,))
    palette = []
    for i in range(256):
        blue, green, red, zero = bmp[54 + 4 * i:58 + 4 * i]
        if zero != 0:
            fail("palette entry %d has %d in its fourth byte" % (i, zero))
        palette.append(red << 16 | green << 8 | blue)

    met = []
    seen = set()
    for y in range(HEIGHT - 1, -1, -1):
        for colour in frame[y * WIDTH:(y + 1) * WIDTH]:
            if colour not in seen:
                seen.add(colour)
                met.append(colour)
    kept = met[:256]
    if palette[:len(kept)] != kept:
        fail("palette is not the screen's colours in the order met")
    if any(entry != 0 for entry in palette[len(kept):]):
        fail("unused palette entries are not black")

    def distance(a, b):
        return sum(((a >> s & 255) - (b >> s & 255)) ** 2 for s in (16, 8, 0))

    in_palette = set(kept)
    nearest = {}
    for row in range(HEIGHT):
        y = HEIGHT - 1 - row
        line = bmp[1078 + row * WIDTH:1078 + (row + 1) * WIDTH]
        for x in range(WIDTH):
            colour, shown = frame[y * WIDTH + x], palette[line[x]]
            if colour in in_palette:
                if shown != colour:
                    fail("pixel (%d,%d) is %06x, the screen has %06x" % (x, y, shown, colour))
                continue
            if colour not in nearest:
                nearest[colour] = min(distance(colour, entry) for entry in kept)
            if distance(colour, shown) != nearest[colour]:
                fail("pixel (%d,%d) is %06x, not the palette colour nearest to %06x" % (x, y, shown, colour))
    print("screenshot_check: %d colours on the screen, %d in the palette" % (len(met), len(kept)))


if __name__ == "__main__":
    main()
