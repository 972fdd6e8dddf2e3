// Reads a window dump (xwd) of gfxrunner back in frame coordinates:
//   window_reader IMAGE text X Y COUNT   the characters of COUNT cells from (X, Y)
//   window_reader IMAGE pixel X Y        the colour of a frame pixel, as RRGGBB
//   window_reader IMAGE window X Y       the colour of a window pixel, as RRGGBB
//   window_reader IMAGE scale            the scale and the frame's top left
//   window_reader IMAGE placement        the frame's size and top left in the window
//   window_reader IMAGE count X1 Y1 X2 Y2 RRGGBB  how many frame pixels of the box are nearer
//                                        that colour than the background
// The frame is found as the program places it: as large as its aspect ratio
// allows, centred. At whole factors frame pixels are read exactly; at other
// scales at each frame pixel's centre. Text is matched in the colour of frame
// pixel (0, 0) over that of (2, 2), the nearer of the two at each pixel.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/graphic/library/font_8x14.h"

static int width, height;
static std::vector<unsigned char> image;
static int frameWidth, frameHeight, left, top;
static bool whole;                 // the frame is scaled by a whole factor

static uint32_t bigEndian(const unsigned char *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// The lowest set bit of a colour mask, and the mask's value scaled to 0..255.
static unsigned channel(uint32_t pixel, uint32_t mask)
{
    if (!mask) return 0;
    int shift = 0;
    while (!(mask >> shift & 1)) shift++;
    uint32_t top = mask >> shift;
    return (unsigned)(((pixel & mask) >> shift) * 255 / top);
}

// An X window dump as xwd writes it: a big-endian header, colour entries,
// then the image rows in the server's byte order. True-colour dumps only.
static bool load(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (!file) return false;
    std::vector<unsigned char> data;
    unsigned char block[65536];
    for (size_t got; (got = fread(block, 1, sizeof block, file)) > 0;) data.insert(data.end(), block, block + got);
    fclose(file);
    if (data.size() < 100) return false;
    uint32_t field[25];
    for (int i = 0; i < 25; i++) field[i] = bigEndian(&data[4 * i]);
    uint32_t headerSize = field[0], byteOrder = field[7], bitsPerPixel = field[11];
    uint32_t bytesPerLine = field[12], redMask = field[14], greenMask = field[15], blueMask = field[16];
    uint32_t colours = field[19];
    width = (int)field[4];
    height = (int)field[5];
    size_t offset = headerSize + (size_t)colours * 12;
    if ((bitsPerPixel != 32 && bitsPerPixel != 24) || width <= 0 || height <= 0 ||
        offset + (size_t)bytesPerLine * height > data.size())
        return false;
    image.resize((size_t)width * height * 3);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const unsigned char *p = &data[offset + (size_t)y * bytesPerLine + (size_t)x * (bitsPerPixel / 8)];
            int bytes = (int)bitsPerPixel / 8;
            uint32_t pixel = 0;
            for (int i = 0; i < bytes; i++)
                pixel |= (uint32_t)p[i] << (byteOrder == 0 ? 8 * i : 8 * (bytes - 1 - i));
            unsigned char *out = &image[((size_t)y * width + x) * 3];
            out[0] = (unsigned char)channel(pixel, redMask);
            out[1] = (unsigned char)channel(pixel, greenMask);
            out[2] = (unsigned char)channel(pixel, blueMask);
        }
    return true;
}

static unsigned windowPixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    const unsigned char *p = &image[((size_t)y * width + x) * 3];
    return (unsigned)p[0] << 16 | (unsigned)p[1] << 8 | p[2];
}

// The placement the program works out: the window's width or height filled.
static void place()
{
    if ((long)width * 600 <= (long)height * 800) {
        frameWidth = width;
        frameHeight = (int)((long)width * 600 / 800);
    } else {
        frameHeight = height;
        frameWidth = (int)((long)height * 800 / 600);
    }
    left = (width - frameWidth) / 2;
    top = (height - frameHeight) / 2;
    whole = frameWidth % 800 == 0 && frameHeight == frameWidth / 800 * 600;
}

static unsigned framePixel(int x, int y)
{
    if (whole)
        return windowPixel(left + x * (frameWidth / 800), top + y * (frameHeight / 600));
    return windowPixel(left + (int)((2L * x + 1) * frameWidth / 1600), top + (int)((2L * y + 1) * frameHeight / 1200));
}

static long distance(unsigned first, unsigned second)
{
    long total = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        long d = (long)(first >> shift & 255) - (long)(second >> shift & 255);
        total += d * d;
    }
    return total;
}

// The frame pixel is the foreground (at other scales: nearer it than the background).
static bool nearer(int x, int y, unsigned foreground, unsigned background)
{
    unsigned pixel = framePixel(x, y);
    if (whole) return pixel == foreground;
    return distance(pixel, foreground) < distance(pixel, background);
}

int main(int argc, char **argv)
{
    if (argc < 3 || !load(argv[1])) {
        fprintf(stderr, "usage: window_reader IMAGE.xwd text|pixel|window|scale|placement|count ...\n");
        return 2;
    }
    place();
    std::string what = argv[2];
    int x = argc > 3 ? atoi(argv[3]) : 0;
    int y = argc > 4 ? atoi(argv[4]) : 0;
    if (what == "scale") {
        printf("%g %d %d\n", frameWidth / 800.0, left, top);
    } else if (what == "placement") {
        printf("%d %d %d %d\n", frameWidth, frameHeight, left, top);
    } else if (what == "count" && argc > 7) {
        unsigned colour = (unsigned)strtoul(argv[7], nullptr, 16);
        unsigned background = framePixel(2, 2);
        int found = 0;
        for (int row = y; row <= atoi(argv[6]); row++)
            for (int column = x; column <= atoi(argv[5]); column++) found += nearer(column, row, colour, background);
        printf("%d\n", found);
    } else if (what == "pixel") {
        printf("%06X\n", framePixel(x, y));
    } else if (what == "window") {
        printf("%06X\n", windowPixel(x, y));
    } else if (what == "text" && argc > 5) {
        unsigned foreground = framePixel(0, 0);
        unsigned background = framePixel(2, 2);
        int count = atoi(argv[5]);
        std::string text;
        for (int i = 0; i < count; i++) {
            char found = '?';
            for (int code = 32; code < 32 + 256 && found == '?'; code++) {
                const uint8_t *glyph = FONT_8X14[code & 255];
                bool same = true;
                for (int row = 0; row < 14 && same; row++)
                    for (int column = 0; column < 8 && same; column++)
                        same = nearer(x + i * 8 + column, y + row, foreground, background) ==
                               ((glyph[row] & (0x80 >> column)) != 0);
                if (same) found = (char)(code & 255);
            }
            text += found;
        }
        printf("%s\n", text.c_str());
    } else {
        fprintf(stderr, "window_reader: unknown request %s\n", what.c_str());
        return 2;
    }
    return 0;
}
