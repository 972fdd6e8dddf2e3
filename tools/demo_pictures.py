#!/usr/bin/env python3
"""Draws the pictures of the demonstration game with ImageMagick.

usage: tools/demo_pictures.py PICSCRAMBLE [OUTPUT_DIR]

Writes one 384 x 256 palette picture of at most 16 colours per scene into
OUTPUT_DIR (default: games/pictures). The clock tower, the game's
last scene, is scrambled with picscramble so that it cannot be peeked at.
"""

import os
import subprocess
import sys

WIDTH, HEIGHT = 384, 256
SCRAMBLED = {"tower"}

NIGHT = "#101838"
STONE = "#6c6a64"
DARK_STONE = "#45443f"
WOOD = "#6b4424"
DARK_WOOD = "#3d2612"
BRASS = "#c8a040"
GRASS = "#2c5a26"
FLOOR = "#5a4030"
WALL = "#8a7c64"
GLASS = "#8ab4d8"
BLACK = "#000000"
LIGHT = "#f0d890"


def box(colour, x1, y1, x2, y2):
    return ["-fill", colour, "-draw", "rectangle %d,%d %d,%d" % (x1, y1, x2, y2)]


def shape(colour, kind, *points):
    return ["-fill", colour, "-draw", "%s %s" % (kind, " ".join("%d,%d" % p for p in points))]


def circle(colour, x, y, r):
    return ["-fill", colour, "-draw", "circle %d,%d %d,%d" % (x, y, x + r, y)]


def line(colour, x1, y1, x2, y2, width=2):
    return ["-stroke", colour, "-strokewidth", str(width), "-draw",
            "line %d,%d %d,%d" % (x1, y1, x2, y2), "-stroke", "none"]


def gear(x, y, r, colour):
    teeth = []
    for i in range(8):
        dx, dy = [(1, 0), (0.7, 0.7), (0, 1), (-0.7, 0.7), (-1, 0), (-0.7, -0.7), (0, -1), (0.7, -0.7)][i]
        teeth += circle(colour, int(x + dx * r), int(y + dy * r), max(2, r // 4))
    return teeth + circle(colour, x, y, r) + circle(DARK_STONE, x, y, max(2, r // 3))


def window(x, y, w, h):
    return box(DARK_WOOD, x - 3, y - 3, x + w + 3, y + h + 3) + box(GLASS, x, y, x + w, y + h) + \
        line(DARK_WOOD, x + w // 2, y, x + w // 2, y + h) + line(DARK_WOOD, x, y + h // 2, x + w, y + h // 2)


def door(x, y, w, h, colour=WOOD):
    return box(DARK_WOOD, x - 3, y - 3, x + w + 3, y + h) + box(colour, x, y, x + w, y + h) + \
        circle(BRASS, x + w - 8, y + h // 2, 3)


def room(wall=WALL, floor=FLOOR):
    return box(wall, 0, 0, WIDTH, 190) + box(floor, 0, 190, WIDTH, HEIGHT) + \
        line(DARK_WOOD, 0, 190, WIDTH, 190, 3)


def books(x, y, w, rows):
    out = []
    colours = ["#8a2020", "#20508a", "#2c6a2c", BRASS, "#6a3a7a"]
    for r in range(rows):
        top = y + r * 34
        out += box(DARK_WOOD, x, top + 28, x + w, top + 32)
        for i in range(0, w - 6, 9):
            out += box(colours[(i // 9 + r) % len(colours)], x + i + 2, top + 4 + (i * 7 % 6), x + i + 8, top + 28)
    return out


def house(x, y, scale):
    s = scale
    return shape(DARK_STONE, "polygon", (x, y), (x + 60 * s, y - 40 * s), (x + 120 * s, y)) + \
        box(STONE, x, y, x + 120 * s, y + 70 * s) + \
        box(DARK_STONE, x + 48 * s, y - 90 * s, x + 72 * s, y) + \
        circle(LIGHT, x + 60 * s, y - 70 * s, 8 * s) + \
        box(LIGHT, x + 15 * s, y + 15 * s, x + 30 * s, y + 35 * s) + \
        box(LIGHT, x + 90 * s, y + 15 * s, x + 105 * s, y + 35 * s)


SCENES = {
    "intro": box(NIGHT, 0, 0, WIDTH, HEIGHT) + circle("#e8e8d0", 320, 50, 22) + circle(NIGHT, 312, 44, 18)
    + [c for i in range(24) for c in circle("#e8e8d0", (i * 97) % WIDTH, (i * 53) % 120, 1)]
    + box(GRASS, 0, 200, WIDTH, HEIGHT) + house(100, 120, 1.5),

    "dark": box(BLACK, 0, 0, WIDTH, HEIGHT) + circle("#181818", 150, 120, 3) + circle("#181818", 175, 120, 3),

    "gate": box(NIGHT, 0, 0, WIDTH, 150) + box(GRASS, 0, 150, WIDTH, HEIGHT)
    + house(110, 70, 1.2) + shape(FLOOR, "polygon", (170, 256), (214, 256), (200, 150), (185, 150))
    + box(WOOD, 300, 110, 370, 170) + shape(DARK_WOOD, "polygon", (292, 112), (335, 85), (378, 112))
    + box(DARK_STONE, 40, 120, 60, 256) + box(DARK_STONE, 320 - 8, 170, 332, 256)
    + [c for i in range(8) for c in line("#202020", 70 + i * 28, 140, 70 + i * 28, 256, 4)]
    + line("#202020", 60, 150, 300, 150, 4),

    "porch": box(STONE, 0, 0, WIDTH, 210) + box(FLOOR, 0, 210, WIDTH, HEIGHT)
    + shape(DARK_WOOD, "polygon", (20, 60), (192, 20), (364, 60)) + box(WOOD, 40, 60, 52, 210)
    + box(WOOD, 332, 60, 344, 210) + door(150, 90, 84, 120) + window(70, 100, 50, 50)
    + window(264, 100, 50, 50) + box("#8a3020", 160, 212, 224, 224),

    "hall": room("#7a6a58", "#4a3020")
    + shape(DARK_WOOD, "polygon", (200, 190), (384, 30), (384, 60), (230, 190))
    + [c for i in range(9) for c in line(WOOD, 205 + i * 18, 188 - i * 16, 235 + i * 18, 188 - i * 16, 3)]
    + door(20, 80, 60, 110) + door(120, 80, 60, 110) + box("#8a3020", 60, 200, 200, 240),

    "study": room("#6a5a48") + books(20, 20, 150, 5) + books(214, 20, 150, 2)
    + window(250, 100, 90, 70) + box(WOOD, 200, 180, 370, 196) + box(DARK_WOOD, 210, 196, 222, 250)
    + box(DARK_WOOD, 348, 196, 360, 250) + box("#e8e0c8", 260, 172, 300, 180),

    "kitchen": room("#8a8070", "#5a5048") + box("#303030", 30, 90, 130, 190) + box("#202020", 50, 120, 110, 170)
    + box(WOOD, 170, 140, 300, 150) + box(DARK_WOOD, 180, 150, 190, 200) + box(DARK_WOOD, 280, 150, 290, 200)
    + window(180, 30, 80, 60) + shape(BLACK, "polygon", (320, 256), (320, 200), (384, 200), (384, 256))
    + [c for i in range(4) for c in line(DARK_WOOD, 320, 210 + i * 14, 384, 210 + i * 14, 3)],

    "cellar": box("#2a241c", 0, 0, WIDTH, HEIGHT) + box("#3a3026", 0, 180, WIDTH, HEIGHT)
    + shape(WOOD, "polygon", (40, 200), (120, 170), (130, 180), (50, 212)) + box(DARK_WOOD, 200, 140, 260, 200)
    + line(WOOD, 210, 140, 190, 100, 4) + line(WOOD, 250, 140, 270, 100, 4) + circle(LIGHT, 330, 60, 10)
    + [c for i in range(6) for c in line(DARK_WOOD, 300 + i * 10, 256 - i * 20, 340 + i * 10, 256 - i * 20, 3)],

    "landing": room("#6a6050") + door(30, 70, 70, 120) + door(250, 70, 80, 120)
    + circle(BRASS, 290, 50, 14) + circle(DARK_WOOD, 290, 50, 4) + box(DARK_WOOD, 150, 0, 210, 10)
    + line("#c0b090", 180, 10, 180, 120, 3) + circle("#c0b090", 180, 124, 5),

    "bedroom": room("#7a6a7a", "#4a3a3a") + box(DARK_WOOD, 30, 140, 220, 200) + box("#e8e0d0", 36, 130, 214, 160)
    + box("#8a3040", 80, 136, 214, 170) + box(WOOD, 30, 100, 44, 200) + box(DARK_WOOD, 260, 30, 360, 200)
    + line(WOOD, 310, 35, 310, 195, 2) + circle(BRASS, 302, 120, 3) + circle(BRASS, 318, 120, 3),

    "workshop": room("#5a5a50") + box(WOOD, 20, 150, 364, 166) + box(DARK_WOOD, 30, 166, 44, 250)
    + box(DARK_WOOD, 340, 166, 354, 250) + gear(80, 135, 14, BRASS) + gear(120, 140, 9, "#b08030")
    + gear(300, 132, 18, BRASS) + gear(240, 142, 7, "#b08030") + window(150, 30, 90, 60)
    + [c for i in range(6) for c in line("#303030", 40 + i * 50, 10, 40 + i * 50, 40, 2)],

    "tower": box(NIGHT, 0, 0, WIDTH, HEIGHT)
    + [c for i in range(10) for c in line(DARK_STONE, 0, 10 + i * 26, 60, 20 + i * 26, 6)]
    + [c for i in range(10) for c in line(DARK_STONE, 324, 20 + i * 26, 384, 10 + i * 26, 6)]
    + circle(BRASS, 192, 128, 100) + circle("#e8e0c8", 192, 128, 88)
    + [c for i in range(12) for c in circle(BLACK, int(192 + 78 * [1, .87, .5, 0, -.5, -.87, -1, -.87, -.5, 0, .5, .87][i]),
                                            int(128 + 78 * [0, .5, .87, 1, .87, .5, 0, -.5, -.87, -1, -.87, -.5][i]), 4)]
    + line(BLACK, 192, 128, 192, 60, 6) + line(BLACK, 192, 128, 240, 150, 5) + circle(BRASS, 192, 128, 8),

    "shed": box(WOOD, 0, 0, WIDTH, HEIGHT)
    + [c for i in range(12) for c in line(DARK_WOOD, i * 32, 0, i * 32, 200, 3)]
    + box(FLOOR, 0, 200, WIDTH, HEIGHT) + box(DARK_WOOD, 40, 100, 344, 108)
    + box("#2c5a26", 60, 70, 90, 100) + box("#8a3020", 120, 80, 150, 100) + box(DARK_STONE, 250, 60, 300, 100)
    + line(DARK_STONE, 300, 200, 340, 120, 4) + window(160, 20, 60, 40),
}


def convert_program():
    for path in ("/usr/bin/convert", "/usr/bin/convert-im6.q16"):
        if os.path.exists(path):
            return path
    sys.exit("demo_pictures: ImageMagick's convert is not installed")


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: demo_pictures.py PICSCRAMBLE [OUTPUT_DIR]")
    picscramble = sys.argv[1]
    out = sys.argv[2] if len(sys.argv) == 3 else os.path.join(os.path.dirname(__file__), "..", "games", "pictures")
    os.makedirs(out, exist_ok=True)
    convert = convert_program()
    for name, drawing in SCENES.items():
        target = os.path.join(out, name + ".png")
        plain = target + ".plain" if name in SCRAMBLED else target
        subprocess.run([convert, "-size", "%dx%d" % (WIDTH, HEIGHT), "xc:black", "-stroke", "none"] + drawing
                       + ["+dither", "-colors", "16", "-strip", "-quality", "96",
                          "-define", "png:color-type=3", "PNG8:" + plain],
                       check=True)
        with open(plain, "rb") as f:
            head = f.read(33)
        if head[16:24] != bytes([0, 0, 1, 128, 0, 0, 1, 0]) or head[24] > 8 or head[25] != 3 or head[28] != 0:
            sys.exit("demo_pictures: %s is not a 384 x 256 palette picture" % plain)
        if name in SCRAMBLED:
            subprocess.run([picscramble, plain, target], check=True)
            os.remove(plain)
        print(target)


if __name__ == "__main__":
    main()
