// Reads a window dump (binary PPM) of gfxrunner back in frame coordinates:
//   window_reader IMAGE text X Y COUNT   the characters of COUNT cells from (X, Y)
//   window_reader IMAGE pixel X Y        the colour of a frame pixel, as RRGGBB
//   window_reader IMAGE window X Y       the colour of a window pixel, as RRGGBB
//   window_reader IMAGE scale            the scale factor and the frame's top left
// The frame is found as the program places it: scaled by the largest whole
// factor that fits and centred. Text is matched in the colour of pixel (0, 0).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/graphic/library/font_8x14.h"

static int width, height;
static std::vector<unsigned char> image;
static int factor, left, top;

static int readNumber(FILE *file)
{
    int c = fgetc(file);
    while (c == '#' || c == ' ' || c == '\n' || c == '\r' || c == '\t') {
        if (c == '#')
            while (c != '\n' && c != EOF) c = fgetc(file);
        c = fgetc(file);
    }
    int value = 0;
    while (c >= '0' && c <= '9') {
        value = value * 10 + (c - '0');
        c = fgetc(file);
    }
    return value;
}

static bool load(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (!file) return false;
    char magic[2];
    bool ok = fread(magic, 1, 2, file) == 2 && magic[0] == 'P' && magic[1] == '6';
    if (ok) {
        width = readNumber(file);
        height = readNumber(file);
        ok = readNumber(file) == 255 && width > 0 && height > 0;
    }
    if (ok) {
        image.resize((size_t)width * height * 3);
        ok = fread(image.data(), 1, image.size(), file) == image.size();
    }
    fclose(file);
    return ok;
}

static unsigned windowPixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    const unsigned char *p = &image[((size_t)y * width + x) * 3];
    return (unsigned)p[0] << 16 | (unsigned)p[1] << 8 | p[2];
}

static unsigned framePixel(int x, int y)
{
    return windowPixel(left + x * factor, top + y * factor);
}

int main(int argc, char **argv)
{
    if (argc < 3 || !load(argv[1])) {
        fprintf(stderr, "usage: window_reader IMAGE.ppm text|pixel|window|scale ...\n");
        return 2;
    }
    factor = width / 800 < height / 600 ? width / 800 : height / 600;
    if (factor < 1) factor = 1;
    left = (width - 800 * factor) / 2;
    top = (height - 600 * factor) / 2;
    std::string what = argv[2];
    int x = argc > 3 ? atoi(argv[3]) : 0;
    int y = argc > 4 ? atoi(argv[4]) : 0;
    if (what == "scale") {
        printf("%d %d %d\n", factor, left, top);
    } else if (what == "pixel") {
        printf("%06X\n", framePixel(x, y));
    } else if (what == "window") {
        printf("%06X\n", windowPixel(x, y));
    } else if (what == "text" && argc > 5) {
        unsigned foreground = framePixel(0, 0);
        int count = atoi(argv[5]);
        std::string text;
        for (int i = 0; i < count; i++) {
            char found = '?';
            for (int code = 32; code < 32 + 256 && found == '?'; code++) {
                const uint8_t *glyph = FONT_8X14[code & 255];
                bool same = true;
                for (int row = 0; row < 14 && same; row++)
                    for (int column = 0; column < 8 && same; column++)
                        same = (framePixel(x + i * 8 + column, y + row) == foreground) ==
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
