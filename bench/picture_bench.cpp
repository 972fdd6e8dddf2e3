// Times loadPicture on the headless drawing layer against libpng decoding the
// same files, in one process: a palette and a true-colour 384 x 256 picture.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <png.h>

#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/pictures.h"

constexpr int BATCHES = 15;            // timing batches; the quickest counts
constexpr int DECODES_PER_BATCH = 20;

struct Rgb {
    uint8_t red, green, blue;
};

// A picture-like scene: a sky gradient, hills, a textured ground, a few
// shapes, and mild noise, so that the rows filter and compress as a drawn
// location picture would.
static std::vector<Rgb> drawScene()
{
    std::vector<Rgb> pixels(size_t(PICTURE_WIDTH) * PICTURE_HEIGHT);
    uint32_t seed = 12345;
    auto noise = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) & 15) - 8;
    };
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++) {
            double hill = 150 + 25 * std::sin(x / 40.0) + 12 * std::sin(x / 13.0 + 1.0);
            int r, g, b;
            if (y < hill) {
                r = 90 + y / 3;
                g = 140 + y / 4;
                b = 230 - y / 5;
            } else {
                int stripe = ((x / 6 + y / 3) & 7) * 4;
                r = 60 + stripe + (y - int(hill)) / 2;
                g = 110 + stripe;
                b = 40 + stripe / 2;
            }
            double dx = x - 300, dy = y - 60;
            if (dx * dx + dy * dy < 900) { r = 250; g = 230; b = 120; }            // sun
            if (x > 60 && x < 140 && y > 120 && y < 200) { r = 120; g = 90; b = 70; }  // hut
            if (x > 90 && x < 110 && y > 160 && y < 200) { r = 50; g = 30; b = 20; }   // door
            r += noise();
            g += noise();
            b += noise();
            pixels[size_t(y) * PICTURE_WIDTH + x] = {uint8_t(std::clamp(r, 0, 255)),
                                                     uint8_t(std::clamp(g, 0, 255)),
                                                     uint8_t(std::clamp(b, 0, 255))};
        }
    return pixels;
}

// Writes the scene as an 8-bit palette PNG (a 6 x 7 x 6 colour cube with
// ordered dithering) or an 8-bit RGB PNG, letting libpng pick a filter per row.
static bool writePng(const char *path, const std::vector<Rgb> &scene, bool palette)
{
    FILE *file = fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, PICTURE_WIDTH, PICTURE_HEIGHT, 8,
                 palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_color colours[252];
    if (palette) {
        for (int i = 0; i < 252; i++)
            colours[i] = {png_byte(i / 42 * 51), png_byte(i / 6 % 7 * 42), png_byte(i % 6 * 51)};
        png_set_PLTE(png, info, colours, 252);
    }
    png_write_info(png, info);
    static const int DITHER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    std::vector<png_byte> row(size_t(PICTURE_WIDTH) * 3);
    for (int y = 0; y < PICTURE_HEIGHT; y++) {
        for (int x = 0; x < PICTURE_WIDTH; x++) {
            const Rgb &p = scene[size_t(y) * PICTURE_WIDTH + x];
            if (palette) {
                int d = DITHER[y & 3][x & 3];
                int r = std::min((p.red * 5 + d * 16) / 255, 5);
                int g = std::min((p.green * 6 + d * 16) / 255, 6);
                int b = std::min((p.blue * 5 + d * 16) / 255, 5);
                row[size_t(x)] = png_byte(r * 42 + g * 6 + b);
            } else {
                row[size_t(x) * 3] = p.red;
                row[size_t(x) * 3 + 1] = p.green;
                row[size_t(x) * 3 + 2] = p.blue;
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    fclose(file);
    return true;
}

// libpng's decoding of the file into red, green and blue bytes per pixel,
// read row by row as loadPicture reads it. Empty when libpng refuses it.
static std::vector<uint8_t> decodeWithLibpng(const char *path)
{
    std::vector<uint8_t> pixels;
    FILE *file = fopen(path, "rb");
    if (!file) return pixels;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        fclose(file);
        return {};
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_palette_to_rgb(png);
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    int height = int(png_get_image_height(png, info));
    pixels.resize(rowBytes * size_t(height));
    for (int y = 0; y < height; y++) png_read_row(png, pixels.data() + rowBytes * size_t(y), nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return pixels;
}

static double threadSeconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The picture area of the screen against libpng's pixels; 0 when they agree.
static long differingPixels(const std::vector<uint8_t> &reference)
{
    long differing = 0;
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++) {
            const uint8_t *p = &reference[(size_t(y) * PICTURE_WIDTH + x) * 3];
            GrColor expected = GrColor(p[0]) << 16 | GrColor(p[1]) << 8 | p[2];
            if (grScreenPixel(x, y) != expected) differing++;
        }
    return differing;
}

// Prints "picture KIND OURS_US LIBPNG_US" for one file; false on a failure.
static bool benchFile(const char *kind, const std::string &path)
{
    std::vector<uint8_t> reference = decodeWithLibpng(path.c_str());
    if (reference.size() != size_t(PICTURE_WIDTH) * PICTURE_HEIGHT * 3) {
        fprintf(stderr, "picture_bench: libpng cannot read %s\n", path.c_str());
        return false;
    }
    int result = loadPicture(path.c_str());
    long differing = differingPixels(reference);
    if (result != 0 || differing != 0) {
        fprintf(stderr, "picture_bench: loadPicture(%s) gave %d with %ld pixels unlike libpng's\n",
                path.c_str(), result, differing);
        return false;
    }
    double ours = 1e30, theirs = 1e30;
    for (int batch = 0; batch < BATCHES; batch++) {
        double start = threadSeconds();
        for (int i = 0; i < DECODES_PER_BATCH; i++) loadPicture(path.c_str());
        double middle = threadSeconds();
        for (int i = 0; i < DECODES_PER_BATCH; i++) decodeWithLibpng(path.c_str());
        double end = threadSeconds();
        ours = std::min(ours, (middle - start) / DECODES_PER_BATCH);
        theirs = std::min(theirs, (end - middle) / DECODES_PER_BATCH);
    }
    printf("picture %s %.1f %.1f\n", kind, ours * 1e6, theirs * 1e6);
    return true;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: picture_bench FOLDER\n");
        return 2;
    }
    if (!allocateArena()) return 1;
    resetDatabase();
    openScreen();
    std::vector<Rgb> scene = drawScene();
    std::string palette = std::string(argv[1]) + "/palette.png";
    std::string truecolour = std::string(argv[1]) + "/truecolour.png";
    if (!writePng(palette.c_str(), scene, true) || !writePng(truecolour.c_str(), scene, false)) {
        fprintf(stderr, "picture_bench: cannot write the pictures in %s\n", argv[1]);
        return 1;
    }
    bool ok = benchFile("palette", palette) && benchFile("true-colour", truecolour);
    closeScreen();
    freeArena();
    return ok ? 0 : 1;
}
