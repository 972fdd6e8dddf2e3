#!/usr/bin/env python3
"""Builds the 8 x 14 code page 437 glyph table of the graphical front end from a
VGA console font with a Unicode table (PSF 1 or 2, optionally gzipped).

usage: make_font_table.py [font.psf.gz] > frontend/graphic/library/font_8x14.cpp
The glyphs that the font lacks, draws blank or only approximates (its Unicode
table gives the double-line box characters the single-line shapes) are drawn
below in the same 8 x 14 style. Codes still blank or sharing a bitmap with
another code are listed on stderr."""
import gzip
import sys

DEFAULT_FONT = "/usr/share/consolefonts/Uni2-VGA14.psf.gz"

# Code points of bytes 0..31 and 127; bytes 32..126 are ASCII and 128..255
# come from Python's cp437 codec.
LOW = [0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
       0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
       0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
       0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC]
DEL = 0x2302

# Glyphs drawn here, one string of 8 characters per row, '#' a set pixel.
DRAWN = {
    0x10: ["........", "........", "#.......", "##......", "###.....", "#####...",
           "#######.", "#####...", "###.....", "##......", "#.......", "........",
           "........", "........"],                                    # U+25BA
    0x11: ["........", "........", "......#.", ".....##.", "....###.", "..#####.",
           "#######.", "..#####.", "....###.", ".....##.", "......#.", "........",
           "........", "........"],                                    # U+25C4
    0x14: ["........", "........", ".#######", "##.##.##", "##.##.##", "##.##.##",
           ".####.##", "...##.##", "...##.##", "...##.##", "...##.##", "........",
           "........", "........"],                                    # U+00B6
    0x1E: ["........", "........", "........", "........", "...#....", "..###...",
           "..###...", ".#####..", ".#####..", "#######.", "#######.", "........",
           "........", "........"],                                    # U+25B2
    0x1F: ["........", "........", "........", "#######.", "#######.", ".#####..",
           ".#####..", "..###...", "..###...", "...#....", "........", "........",
           "........", "........"],                                    # U+25BC
    0x9E: ["........", "#####...", "##..##..", "##..##..", "#####...", "##...#..",
           "##..##..", "##.####.", "##..##..", "##..##..", "##...##.", "........",
           "........", "........"],                                    # U+20A7
    0xA9: ["........", "........", "........", "........", "........", "........",
           "........", ".#######", ".##.....", ".##.....", ".##.....", "........",
           "........", "........"],                                    # U+2310
    0xEC: ["........", "........", "........", "........", "........", ".######.",
           "##.##.##", "##.##.##", ".######.", "........", "........", "........",
           "........", "........"],                                    # U+221E
    0xEF: ["........", "........", "........", ".#####..", "##...##.", "##...##.",
           "##...##.", "##...##.", "##...##.", "##...##.", "##...##.", "........",
           "........", "........"],                                    # U+2229
    0xF0: ["........", "........", "........", "........", "#######.", "........",
           "........", "#######.", "........", "........", "#######.", "........",
           "........", "........"],                                    # U+2261
    0xFC: ["........", "##.##...", ".##.##..", ".##.##..", ".##.##..", ".##.##..",
           "........", "........", "........", "........", "........", "........",
           "........", "........"],                                    # U+207F
}

# Box-drawing characters with double lines, built on the font's single-line
# geometry: a single vertical line in columns 3-4 (0x18), a double one in
# columns 2-3 and 5-6 (0x36); a single horizontal line in row 7, a double one
# in rows 5 and 7. Each entry gives rows 0-4, row 5, row 6, row 7, rows 8-13.
BOX = {
    0xB5: (0x18, 0xF8, 0x18, 0xF8, 0x18), 0xB6: (0x36, 0x36, 0x36, 0xF6, 0x36),
    0xB7: (0x00, 0x00, 0x00, 0xFE, 0x36), 0xB8: (0x00, 0xF8, 0x18, 0xF8, 0x18),
    0xB9: (0x36, 0xF6, 0x06, 0xF6, 0x36), 0xBA: (0x36, 0x36, 0x36, 0x36, 0x36),
    0xBB: (0x00, 0xFE, 0x06, 0xF6, 0x36), 0xBC: (0x36, 0xF6, 0x06, 0xFE, 0x00),
    0xBD: (0x36, 0x36, 0x36, 0xFE, 0x00), 0xBE: (0x18, 0xF8, 0x18, 0xF8, 0x00),
    0xC6: (0x18, 0x1F, 0x18, 0x1F, 0x18), 0xC7: (0x36, 0x36, 0x36, 0x37, 0x36),
    0xC8: (0x36, 0x37, 0x30, 0x3F, 0x00), 0xC9: (0x00, 0x3F, 0x30, 0x37, 0x36),
    0xCA: (0x36, 0xF7, 0x00, 0xFF, 0x00), 0xCB: (0x00, 0xFF, 0x00, 0xF7, 0x36),
    0xCC: (0x36, 0x37, 0x30, 0x37, 0x36), 0xCD: (0x00, 0xFF, 0x00, 0xFF, 0x00),
    0xCE: (0x36, 0xF7, 0x00, 0xF7, 0x36), 0xCF: (0x18, 0xFF, 0x00, 0xFF, 0x00),
    0xD0: (0x36, 0x36, 0x36, 0xFF, 0x00), 0xD1: (0x00, 0xFF, 0x00, 0xFF, 0x18),
    0xD2: (0x00, 0x00, 0x00, 0xFF, 0x36), 0xD3: (0x36, 0x36, 0x36, 0x3F, 0x00),
    0xD4: (0x18, 0x1F, 0x18, 0x1F, 0x00), 0xD5: (0x00, 0x1F, 0x18, 0x1F, 0x18),
    0xD6: (0x00, 0x00, 0x00, 0x3F, 0x36), 0xD7: (0x36, 0x36, 0x36, 0xFF, 0x36),
    0xD8: (0x18, 0xFF, 0x18, 0xFF, 0x18),
}

# Codes that code page 437 itself leaves blank.
BLANK = (0x00, 0x20, 0xFF)


def drawn_glyph(code):
    if code in DRAWN:
        rows = DRAWN[code]
        assert len(rows) == 14 and all(len(row) == 8 for row in rows), hex(code)
        return bytes(int(row.replace("#", "1").replace(".", "0"), 2) for row in rows)
    if code in BOX:
        top, row5, row6, row7, bottom = BOX[code]
        return bytes([top] * 5 + [row5, row6, row7] + [bottom] * 6)
    return None


def cp437(code):
    if code < 32:
        return LOW[code]
    if code == 127:
        return DEL
    return ord(bytes([code]).decode("cp437"))


def read_font(path):
    data = open(path, "rb").read()
    if data[:2] == b"\x1f\x8b":
        data = gzip.decompress(data)
    glyphs = {}
    if data[:2] == b"\x36\x04":
        mode, height = data[2], data[3]
        count = 512 if mode & 1 else 256
        width, size, pos = 8, height, 4
        bitmaps = [data[pos + i * size: pos + (i + 1) * size] for i in range(count)]
        pos += count * size
        if not mode & 2:
            sys.exit("font has no Unicode table")
        for index in range(count):
            in_sequence = False
            while True:
                value = data[pos] | data[pos + 1] << 8
                pos += 2
                if value == 0xFFFF:
                    break
                if value == 0xFFFE:
                    in_sequence = True
                elif not in_sequence:
                    glyphs.setdefault(value, bitmaps[index])
    elif data[:4] == b"\x72\xb5\x4a\x86":
        header = [int.from_bytes(data[i:i + 4], "little") for i in range(4, 32, 4)]
        offset, flags, count, size, height, width = header[1:7]
        if width != 8:
            sys.exit("font is not 8 pixels wide")
        bitmaps = [data[offset + i * size: offset + (i + 1) * size] for i in range(count)]
        pos = offset + count * size
        if not flags & 1:
            sys.exit("font has no Unicode table")
        for index in range(count):
            end = data.index(b"\xff", pos)
            entry = data[pos:end]
            pos = end + 1
            for text in entry.split(b"\xfe")[0:1]:
                for char in text.decode("utf-8"):
                    glyphs.setdefault(ord(char), bitmaps[index])
    else:
        sys.exit("not a PSF font")
    if height != 14:
        sys.exit("font is not 14 pixels high")
    return glyphs


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_FONT
    glyphs = read_font(path)
    name = path.rsplit("/", 1)[-1]
    out = ["// The built-in 8 x 14 font in the code page 437 layout: 256 glyphs of",
           "// 14 rows, most significant bit leftmost. Generated by",
           "// tools/make_font_table.py from " + name + " and the glyphs the tool draws",
           "// itself where the font lacks or approximates one.",
           '#include "frontend/graphic/library/font_8x14.h"',
           "",
           "const uint8_t FONT_8X14[256][14] = {"]
    problems = []
    seen = {}
    for code in range(256):
        point = cp437(code)
        bitmap = drawn_glyph(code) or (glyphs.get(point) if point else None) or bytes(14)
        if code not in BLANK:
            if not any(bitmap):
                problems.append("0x%02X U+%04X blank" % (code, point))
            elif bitmap in seen:
                problems.append("0x%02X U+%04X same as 0x%02X" % (code, point, seen[bitmap]))
            seen.setdefault(bitmap, code)
        rows = ", ".join("0x%02X" % b for b in bitmap)
        out.append("  {%s}, // 0x%02X U+%04X" % (rows, code, point))
    out.append("};")
    print("\n".join(out))
    if problems:
        sys.exit("glyphs to draw: " + ", ".join(problems))


main()
