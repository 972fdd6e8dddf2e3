// Times loadPicture on the headless drawing layer against libpng and libspng
// decoding the same files, in one process: two scene pictures it writes (a
// palette and a true-colour one) and the picture files named on the command line.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <zlib.h>

#include <png.h>
#include <spng.h>

#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/pictures.h"
#include "frontend/graphic/scramble_key.h"

constexpr int BATCHES = 21;            // timing batches; the median counts
constexpr int DECODES_PER_BATCH = 10;

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

// libspng's decoding of the file into red, green and blue bytes per pixel.
static std::vector<uint8_t> decodeWithLibspng(const char *path)
{
    std::vector<uint8_t> pixels;
    FILE *file = fopen(path, "rb");
    if (!file) return pixels;
    spng_ctx *context = spng_ctx_new(0);
    size_t size = 0;
    if (context && spng_set_png_file(context, file) == 0 &&
        spng_decoded_image_size(context, SPNG_FMT_RGB8, &size) == 0) {
        pixels.resize(size);
        if (spng_decode_image(context, pixels.data(), size, SPNG_FMT_RGB8, 0) != 0) pixels.clear();
    }
    spng_ctx_free(context);
    fclose(file);
    return pixels;
}

static std::vector<uint8_t> fileBytes(const char *path)
{
    std::vector<uint8_t> bytes;
    FILE *file = fopen(path, "rb");
    if (!file) return bytes;
    uint8_t block[4096];
    for (size_t n; (n = fread(block, 1, sizeof block, file)) > 0;) bytes.insert(bytes.end(), block, block + n);
    fclose(file);
    return bytes;
}

static uint32_t bigEndian(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The file as the baselines can read it: a scrambled picture is written to
// twin without its marker chunk and with its image data unscrambled (CRCs
// made afresh); any other file is read as it is. Empty when it cannot be read.
static std::string readablePath(const std::string &path, const std::string &twin, bool *scrambled)
{
    std::vector<uint8_t> bytes = fileBytes(path.c_str());
    *scrambled = false;
    if (bytes.size() < 8) return "";
    std::vector<uint8_t> out(bytes.begin(), bytes.begin() + 8);
    uint8_t key[SCRAMBLE_KEY_SIZE];
    buildScrambleKey(key);
    for (size_t at = 8; at + 12 <= bytes.size();) {
        uint32_t length = bigEndian(&bytes[at]);
        if (length > bytes.size() - at - 12) return "";
        std::vector<uint8_t> chunk(bytes.begin() + long(at), bytes.begin() + long(at + 12 + length));
        at += 12 + length;
        if (memcmp(&chunk[4], SCRAMBLE_CHUNK_TYPE, 4) == 0) {
            *scrambled = true;
            continue;
        }
        if (*scrambled && memcmp(&chunk[4], "IDAT", 4) == 0) {
            for (uint32_t i = 0; i < length; i++) chunk[8 + i] ^= key[i % SCRAMBLE_KEY_SIZE];
            uint32_t crc = uint32_t(crc32(0, &chunk[4], 4 + length));
            for (int k = 0; k < 4; k++) chunk[8 + length + size_t(k)] = uint8_t(crc >> (24 - 8 * k));
        }
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    if (!*scrambled) return path;
    FILE *file = fopen(twin.c_str(), "wb");
    if (!file) return "";
    fwrite(out.data(), 1, out.size(), file);
    fclose(file);
    return twin;
}

// "grey", "palette" or "true-colour", from the header's colour type.
static const char *kindOf(const std::string &path)
{
    std::vector<uint8_t> bytes = fileBytes(path.c_str());
    if (bytes.size() < 26) return "unknown";
    switch (bytes[25]) {
    case 0: return "grey";
    case 2: return "true-colour";
    case 3: return "palette";
    }
    return "unknown";
}

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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

// Prints "picture NAME KIND OURS_US LIBPNG_US LIBSPNG_US" for one file: the
// medians of batches in which the three decoders take turns. False when
// loadPicture's screen or libspng's pixels differ from libpng's.
static bool benchFile(const std::string &name, const std::string &path, const std::string &work)
{
    bool scrambled = false;
    std::string readable = readablePath(path, work + "/" + name + ".plain.png", &scrambled);
    std::vector<uint8_t> reference = decodeWithLibpng(readable.c_str());
    if (reference.size() != size_t(PICTURE_WIDTH) * PICTURE_HEIGHT * 3) {
        fprintf(stderr, "picture_bench: libpng cannot read %s\n", readable.c_str());
        return false;
    }
    if (decodeWithLibspng(readable.c_str()) != reference) {
        fprintf(stderr, "picture_bench: libspng and libpng disagree on %s\n", readable.c_str());
        return false;
    }
    int result = loadPicture(path.c_str());
    long differing = differingPixels(reference);
    if (result != 0 || differing != 0) {
        fprintf(stderr, "picture_bench: loadPicture(%s) gave %d with %ld pixels unlike libpng's\n",
                path.c_str(), result, differing);
        return false;
    }
    std::vector<double> ours, libpng, libspng;
    for (int batch = 0; batch < BATCHES; batch++) {
        double start = threadSeconds();
        for (int i = 0; i < DECODES_PER_BATCH; i++) loadPicture(path.c_str());
        double afterOurs = threadSeconds();
        for (int i = 0; i < DECODES_PER_BATCH; i++) decodeWithLibpng(readable.c_str());
        double afterLibpng = threadSeconds();
        for (int i = 0; i < DECODES_PER_BATCH; i++) decodeWithLibspng(readable.c_str());
        double end = threadSeconds();
        ours.push_back((afterOurs - start) / DECODES_PER_BATCH);
        libpng.push_back((afterLibpng - afterOurs) / DECODES_PER_BATCH);
        libspng.push_back((end - afterLibpng) / DECODES_PER_BATCH);
    }
    const char *kind = kindOf(readable);
    printf("picture %s %s%s %.1f %.1f %.1f\n", name.c_str(), kind, scrambled ? "-scrambled" : "",
           median(ours) * 1e6, median(libpng) * 1e6, median(libspng) * 1e6);
    fflush(stdout);
    return true;
}

// The file's name without its folder and its .png.
static std::string baseName(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) name.resize(name.size() - 4);
    return name;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: picture_bench FOLDER [PICTURE.png...]\n");
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
    std::string work = argv[1];
    bool ok = benchFile("scene-palette", palette, work) && benchFile("scene-true-colour", truecolour, work);
    for (int i = 2; i < argc && ok; i++) ok = benchFile(baseName(argv[i]), argv[i], work);
    closeScreen();
    freeArena();
    return ok ? 0 : 1;
}
