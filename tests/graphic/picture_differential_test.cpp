// The decoder against libpng over generated pictures: every colour type, depth
// and filter; interlaced pictures refused; damaged pictures drawn exactly as
// the decoder drew them when these fixtures were taken (hashes of the screen).
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/pictures.h"
#include "tests/graphic/libpng_reference.h"

namespace {

typedef std::vector<uint8_t> Bytes;

constexpr int MIXED = -1;   // the filter of row y is y mod 5

// What a generated picture is made of, and how its file is put together.
struct PictureRecipe {
    int colourType;
    int depth;
    int filter;             // 0..4, or MIXED
    size_t chunkSize;       // bytes of image data per IDAT chunk
    uint32_t seed;
};

int bytesPerPixel(int colourType)
{
    return colourType == 2 ? 3 : 1;
}

int rowBytes(int colourType, int depth)
{
    return (depth * PICTURE_WIDTH + 7) / 8 * bytesPerPixel(colourType);
}

uint32_t nextRandom(uint32_t &state)
{
    state = state * 1103515245u + 12345u;
    return state >> 16;
}

// Packed sample rows: smooth gradients with noisy patches, so that every filter
// changes the bytes and each predictor is needed.
std::vector<Bytes> drawSamples(const PictureRecipe &recipe)
{
    uint32_t state = recipe.seed;
    int top = (1 << recipe.depth) - 1;
    int channels = bytesPerPixel(recipe.colourType);
    int perByte = 8 / recipe.depth;
    std::vector<Bytes> rows;
    bool packable = (recipe.depth == 8 || (8 % recipe.depth == 0 && channels == 1));
    for (int y = 0; y < PICTURE_HEIGHT; y++) {
        Bytes row(size_t(rowBytes(recipe.colourType, recipe.depth)), 0);
        if (!packable) {
            // Depths no PNG has: bytes of a gradient and noise, whatever they hold.
            for (size_t i = 0; i < row.size(); i++)
                row[i] = uint8_t(i % 3 == 0 ? nextRandom(state) : i + size_t(y) * 2);
            rows.push_back(row);
            continue;
        }
        for (int x = 0; x < PICTURE_WIDTH; x++)
            for (int c = 0; c < channels; c++) {
                int v;
                if ((x / 40 + y / 24) % 3 == 0)
                    v = int(nextRandom(state)) & top;
                else
                    v = ((x * (c + 1) + y * 3 + (x * y >> 6)) >> (recipe.depth < 8 ? 8 - recipe.depth : 0)) & top;
                if (recipe.depth == 8) {
                    row[size_t(x * channels + c)] = uint8_t(v);
                } else {
                    int k = x % perByte;
                    row[size_t(x / perByte)] |= uint8_t(v << (8 - recipe.depth * (k + 1)));
                }
            }
        rows.push_back(row);
    }
    return rows;
}

int paeth(int left, int above, int aboveLeft)
{
    int p = left + above - aboveLeft;
    int pa = abs(p - left), pb = abs(p - above), pc = abs(p - aboveLeft);
    if (pa <= pb && pa <= pc) return left;
    return pb <= pc ? above : aboveLeft;
}

// The filter byte and the row filtered against the row above.
Bytes filterRow(int filter, const Bytes &raw, const Bytes &above, int bpp)
{
    Bytes out{uint8_t(filter)};
    for (size_t i = 0; i < raw.size(); i++) {
        int left = i >= size_t(bpp) ? raw[i - size_t(bpp)] : 0;
        int aboveLeft = i >= size_t(bpp) ? above[i - size_t(bpp)] : 0;
        int predictor = 0;
        if (filter == 1) predictor = left;
        if (filter == 2) predictor = above[i];
        if (filter == 3) predictor = (left + above[i]) / 2;
        if (filter == 4) predictor = paeth(left, above[i], aboveLeft);
        out.push_back(uint8_t(raw[i] - predictor));
    }
    return out;
}

// The inflated image data: each row's filter byte and filtered bytes.
Bytes filteredData(const PictureRecipe &recipe, const std::vector<Bytes> &rows)
{
    Bytes data;
    Bytes above(rows[0].size(), 0);
    for (int y = 0; y < PICTURE_HEIGHT; y++) {
        int filter = recipe.filter == MIXED ? y % 5 : recipe.filter;
        Bytes row = filterRow(filter, rows[size_t(y)], above, bytesPerPixel(recipe.colourType));
        data.insert(data.end(), row.begin(), row.end());
        above = rows[size_t(y)];
    }
    return data;
}

Bytes deflateAll(const Bytes &data)
{
    uLongf size = compressBound(uLong(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, data.data(), uLong(data.size()), 6);
    out.resize(size);
    return out;
}

void appendChunk(Bytes &file, const char *type, const Bytes &data)
{
    uint32_t length = uint32_t(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) file.push_back(uint8_t(length >> shift));
    size_t typeAt = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    uint32_t crc = uint32_t(crc32(0, file.data() + typeAt, uInt(4 + data.size())));
    for (int shift = 24; shift >= 0; shift -= 8) file.push_back(uint8_t(crc >> shift));
}

// A PNG file: header, palette for palette pictures, the zlib stream in IDAT
// chunks of chunkSize bytes, end. With secondPaletteAfter, another palette
// follows that many IDAT chunks.
Bytes pngFile(const PictureRecipe &recipe, const Bytes &stream, int interlace = 0, size_t secondPaletteAfter = 0)
{
    static const uint8_t SIGNATURE[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    Bytes file(SIGNATURE, SIGNATURE + 8);
    Bytes header = {0, 0, uint8_t(PICTURE_WIDTH >> 8), uint8_t(PICTURE_WIDTH & 255),
                    0, 0, uint8_t(PICTURE_HEIGHT >> 8), uint8_t(PICTURE_HEIGHT & 255),
                    uint8_t(recipe.depth), uint8_t(recipe.colourType), 0, 0, uint8_t(interlace)};
    appendChunk(file, "IHDR", header);
    if (recipe.colourType == 3) {
        uint32_t state = recipe.seed ^ 0x5555u;
        Bytes palette;
        for (int i = 0; i < (1 << recipe.depth) * 3; i++) palette.push_back(uint8_t(nextRandom(state)));
        appendChunk(file, "PLTE", palette);
    }
    for (size_t at = 0, chunks = 0; at < stream.size(); at += recipe.chunkSize) {
        size_t size = std::min(recipe.chunkSize, stream.size() - at);
        appendChunk(file, "IDAT", Bytes(stream.begin() + long(at), stream.begin() + long(at + size)));
        if (++chunks == secondPaletteAfter) {
            Bytes palette;
            for (int i = 0; i < (1 << recipe.depth) * 3; i++) palette.push_back(uint8_t(255 - i));
            appendChunk(file, "PLTE", palette);
        }
    }
    appendChunk(file, "IEND", {});
    return file;
}

std::string writeFile(const std::string &name, const Bytes &bytes)
{
    std::string path = testing::TempDir() + "differential_" + name + ".png";
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) return path;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return path;
}


// FNV-1a over the picture area's colour values.
uint64_t pictureAreaHash()
{
    uint64_t hash = 14695981039346656037ull;
    for (uint32_t pixel : pictureArea())
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (pixel >> shift) & 255;
            hash *= 1099511628211ull;
        }
    return hash;
}

bool emptyFramedWindow()
{
    for (int y = 0; y <= PICTURE_HEIGHT; y++)
        for (int x = 0; x <= PICTURE_WIDTH; x++) {
            bool edge = x == 0 || y == 0 || x == PICTURE_WIDTH || y == PICTURE_HEIGHT;
            if (grScreenPixel(x, y) != (edge ? textColour : backgroundColour)) return false;
        }
    return true;
}

std::string describe(const PictureRecipe &recipe)
{
    const char *kind = recipe.colourType == 0 ? "grey" : recipe.colourType == 2 ? "rgb" : "palette";
    std::string filter = recipe.filter == MIXED ? "mixed" : std::to_string(recipe.filter);
    return std::string(kind) + std::to_string(recipe.depth) + "_filter" + filter + "_chunk" +
           std::to_string(recipe.chunkSize);
}

// Every colour type and depth the decoder accepts.
struct Kind {
    int colourType;
    int depth;
};
const Kind KINDS[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {2, 8}, {3, 1}, {3, 2}, {3, 4}, {3, 8}};

class PictureDifferential : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        settings.BgColor = 1;   // a background that no black canvas can pass for
        openScreen();
    }

    void SetUp() override
    {
        picturesEnabled = 1;
        drawLayout();
    }
};

TEST_F(PictureDifferential, EveryKindAndFilterDecodesAsLibpngDoes)
{
    uint32_t seed = 1;
    for (const Kind &kind : KINDS)
        for (int filter = MIXED; filter <= 4; filter++)
            for (size_t chunkSize : {size_t(700), size_t(1) << 20}) {
                PictureRecipe recipe = {kind.colourType, kind.depth, filter, chunkSize, seed++};
                std::vector<Bytes> rows = drawSamples(recipe);
                std::string path = writeFile(describe(recipe), pngFile(recipe, deflateAll(filteredData(recipe, rows))));
                SCOPED_TRACE(describe(recipe));
                std::vector<uint32_t> expected = decodeWithLibpng(path);
                ASSERT_EQ(expected.size(), size_t(PICTURE_WIDTH * PICTURE_HEIGHT)) << "libpng refused it";
                drawLayout();
                ASSERT_EQ(loadPicture(path.c_str()), 0);
                std::vector<uint32_t> shown = pictureArea();
                size_t wrong = 0;
                while (wrong < shown.size() && shown[wrong] == expected[wrong]) wrong++;
                EXPECT_EQ(wrong, shown.size()) << "first wrong pixel at (" << wrong % PICTURE_WIDTH << ","
                                               << wrong / PICTURE_WIDTH << ")";
            }
}

TEST_F(PictureDifferential, InterlacedPicturesAreRefused)
{
    for (const Kind &kind : KINDS) {
        PictureRecipe recipe = {kind.colourType, kind.depth, MIXED, 8192, 7};
        std::string path = writeFile("interlaced_" + describe(recipe),
                                     pngFile(recipe, deflateAll(filteredData(recipe, drawSamples(recipe))), 1));
        SCOPED_TRACE(describe(recipe));
        EXPECT_EQ(loadPicture(path.c_str()), -3);
        EXPECT_EQ(showPicture(path.c_str()), -1);
        EXPECT_TRUE(emptyFramedWindow());
        lastPictureName = nullptr;
    }
}

// How a generated picture is damaged.
enum Damage {
    CUT_FILE,           // the file ends partway into its image data (where: bytes of the file kept)
    BAD_FILTER_BYTES,   // every 7th row carries filter byte 5 + y (its bytes Paeth-filtered)
    INVALID_BLOCK,      // after a full flush partway into a row, a block of the reserved type
    FLIPPED_BYTE,       // one byte of the compressed data changed
    SHORT_STREAM,       // a complete zlib stream of fewer rows, its check value wrong
    ODD_DEPTH,          // undamaged, of a depth the header check lets through but PNG has not
    SECOND_PALETTE,     // rows all alike, another palette after where IDAT chunks
};

struct DamageCase {
    const char *name;
    Kind kind;
    int damage;
    size_t where;           // CUT_FILE: bytes of the file kept; INVALID_BLOCK, SHORT_STREAM:
                            // inflated bytes before the damage; FLIPPED_BYTE: the byte's offset
    size_t chunkSize;
    uint64_t hash;          // of the picture area the decoder drew
};

// The zlib stream of a damaged picture.
Bytes damagedStream(const DamageCase &c, const PictureRecipe &recipe)
{
    std::vector<Bytes> rows = drawSamples(recipe);
    if (c.damage == SECOND_PALETTE) rows.assign(rows.size(), rows[0]);
    Bytes data = filteredData(recipe, rows);
    if (c.damage == BAD_FILTER_BYTES) {
        size_t stride = size_t(rowBytes(recipe.colourType, recipe.depth)) + 1;
        for (int y = 3; y < PICTURE_HEIGHT; y += 7) data[size_t(y) * stride] = uint8_t(5 + y);
    }
    if (c.damage == INVALID_BLOCK || c.damage == SHORT_STREAM) {
        z_stream z;
        memset(&z, 0, sizeof z);
        deflateInit(&z, 6);
        Bytes out(compressBound(uLong(data.size())) + 64);
        z.next_in = data.data();
        z.avail_in = uInt(c.where);
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        deflate(&z, c.damage == INVALID_BLOCK ? Z_FULL_FLUSH : Z_FINISH);
        out.resize(out.size() - z.avail_out);
        deflateEnd(&z);
        if (c.damage == INVALID_BLOCK) out.push_back(0x07);   // final block, type 3
        else out.back() ^= 0x5A;                            // the check value's last byte
        return out;
    }
    Bytes stream = deflateAll(data);
    if (c.damage == FLIPPED_BYTE) stream[c.where % stream.size()] ^= 0x24;
    return stream;
}

TEST_F(PictureDifferential, DamagedPicturesDrawAsBefore)
{
    // Hashes taken with the decoder that plotted pixel by pixel and inflated row by row.
    const DamageCase cases[] = {
        {"cut_grey1", {0, 1}, CUT_FILE, 5000, 1000, 0xcc6e741f8abf31e5ull},
        {"cut_grey8", {0, 8}, CUT_FILE, 30000, 1 << 20, 0xee8b87b25903fea0ull},
        {"cut_rgb8", {2, 8}, CUT_FILE, 90000, 40000, 0x699f2da3dd6913f0ull},
        {"cut_palette4", {3, 4}, CUT_FILE, 20000, 3000, 0x47cca5200d4b70acull},
        {"cut_palette8", {3, 8}, CUT_FILE, 33000, 1 << 20, 0x20ce5a3d3494832eull},
        {"filter_grey2", {0, 2}, BAD_FILTER_BYTES, 0, 5000, 0x14d1e34002cb8264ull},
        {"filter_grey8", {0, 8}, BAD_FILTER_BYTES, 0, 1 << 20, 0xf96f43dd3bad5594ull},
        {"filter_rgb8", {2, 8}, BAD_FILTER_BYTES, 0, 20000, 0x6ffda4f53a10968aull},
        {"filter_palette1", {3, 1}, BAD_FILTER_BYTES, 0, 1000, 0x352c3174c74bb3c5ull},
        {"filter_palette8", {3, 8}, BAD_FILTER_BYTES, 0, 1 << 20, 0x3f679306d131a638ull},
        {"block_grey4", {0, 4}, INVALID_BLOCK, 20000, 1 << 20, 0xc8c1d8a9f737f614ull},
        {"block_rgb8_row_edge", {2, 8}, INVALID_BLOCK, 100 * 1153, 1 << 20, 0x8f2fa618023a342ull},
        {"block_rgb8_mid_row", {2, 8}, INVALID_BLOCK, 100 * 1153 + 500, 10000, 0x218e8130027f725eull},
        {"block_palette8", {3, 8}, INVALID_BLOCK, 50000, 1 << 20, 0x7f7fcaa3e34f0b8eull},
        {"flip_grey8", {0, 8}, FLIPPED_BYTE, 9000, 1 << 20, 0xdff43bb60878a8c5ull},
        {"flip_rgb8", {2, 8}, FLIPPED_BYTE, 60000, 1 << 20, 0x6b118c591c49a9daull},
        {"flip_rgb8_late", {2, 8}, FLIPPED_BYTE, 150000, 30000, 0x771c336426b404f0ull},
        {"flip_palette2", {3, 2}, FLIPPED_BYTE, 4000, 1 << 20, 0x697d034ff2c87745ull},
        {"flip_palette8", {3, 8}, FLIPPED_BYTE, 20000, 2000, 0x58b510408e660b61ull},
        {"short_grey1", {0, 1}, SHORT_STREAM, 150 * 49 + 20, 1 << 20, 0x3fc9e51d312e4945ull},
        {"short_rgb8", {2, 8}, SHORT_STREAM, 200 * 1153, 1 << 20, 0x468dfdb6e9134b70ull},
        {"short_palette8", {3, 8}, SHORT_STREAM, 120 * 385 + 7, 4000, 0x33ba9501989786bfull},
        {"odd_grey3", {0, 3}, ODD_DEPTH, 0, 1 << 20, 0x13fcb7126f3ea8c9ull},
        {"odd_grey5", {0, 5}, ODD_DEPTH, 0, 5000, 0xfd4112b9d1d178d7ull},
        {"odd_grey7", {0, 7}, ODD_DEPTH, 0, 1 << 20, 0xf6510fdb3b28c807ull},
        {"odd_rgb4", {2, 4}, ODD_DEPTH, 0, 1 << 20, 0x1edba384a35d798bull},
        {"odd_rgb1", {2, 1}, ODD_DEPTH, 0, 1 << 20, 0x5092158d8ca1b638ull},
        {"odd_palette6", {3, 6}, ODD_DEPTH, 0, 1 << 20, 0x6638691c5970e92dull},
        {"second_palette", {3, 8}, SECOND_PALETTE, 25, 40, 0x823146b303d3dc85ull},
    };
    uint32_t seed = 100;
    for (const DamageCase &c : cases) {
        SCOPED_TRACE(c.name);
        PictureRecipe recipe = {c.kind.colourType, c.kind.depth, MIXED, c.chunkSize, seed++};
        Bytes file = pngFile(recipe, damagedStream(c, recipe), 0, c.damage == SECOND_PALETTE ? c.where : 0);
        if (c.damage == CUT_FILE) file.resize(std::min(c.where, file.size()));
        std::string path = writeFile(c.name, file);
        drawLayout();
        EXPECT_EQ(loadPicture(path.c_str()), 0);
        uint64_t hash = pictureAreaHash();
        EXPECT_EQ(hash, c.hash) << c.name << " drew 0x" << std::hex << hash;
    }
}

}  // namespace
