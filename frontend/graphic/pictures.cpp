// Pictures: PNG files of the picture window's size, plain or scrambled, decoded into the picture window.
#include "frontend/graphic/pictures.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

#include "core/database/file_access.h"
#include "core/database/game_database.h"
#include "core/database/text_compare.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/scramble_key.h"

int picturesEnabled = 1;
const char *lastPictureName = nullptr;

constexpr int IMAGE_PATH_SIZE = 32;           // bytes of ImagePath that count
constexpr int INPUT_BUFFER_SIZE = 32768;      // the file's image data is read through it
constexpr int MAX_ROW_BYTES = PICTURE_WIDTH * 3;
constexpr int PALETTE_SIZE = 256;
constexpr uint8_t PNG_SIGNATURE[8] = {137, 80, 78, 71, 13, 10, 26, 10};

enum ChunkResult { CHUNK_NEXT, CHUNK_END, CHUNK_ERROR };
// INFLATE_COMPLETE: every row is decoded, and nothing more of the file is read.
enum InflateState { INFLATE_NOT_STARTED, INFLATE_RUNNING, INFLATE_STOPPED, INFLATE_COMPLETE };
constexpr uint32_t LARGEST_SKIP = 1u << 30;   // one seek of a chunk's data at most

// The colours of palette indices and grey levels; kept from one picture to the next.
static GrColor pictureColours[PALETTE_SIZE];

// The header of the picture being read, from its IHDR chunk.
struct PictureHeader {
    uint32_t width;
    uint32_t height;
    uint8_t bitDepth;
    uint8_t colourType;
    uint8_t compression;
    uint8_t filter;
    uint8_t interlace;
};

// Everything one loadPicture call works with; set up afresh for every picture.
struct PictureDecoder {
    FILE *file;
    PictureHeader header;
    bool headerAccepted;           // image data is decoded only after it; later IHDR chunks are skipped
    int scrambleState;             // 0 plain, 1 scrambled, -1 invalid marker
    uint8_t key[SCRAMBLE_KEY_SIZE];
    uint8_t *input;                // INPUT_BUFFER_SIZE bytes
    z_stream stream;
    bool streamOpen;               // inflateInit succeeded: inflateEnd is due
    int inflateState;              // InflateState
    int rowBytes;                  // bytes of a row after its filter byte
    int rowCount;                  // rows decoded so far, 0..PICTURE_HEIGHT
    uint8_t row[1 + MAX_ROW_BYTES];
    uint8_t previousRow[1 + MAX_ROW_BYTES];
};

static PictureDecoder decoder;

static uint32_t bigEndian(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// A chunk type against a name, without regard to letter case.
static bool chunkTypeIs(const uint8_t type[4], const char *name)
{
    return prefixEqualsIgnoreCase(reinterpret_cast<const char *>(type), name, 4);
}

// Moves past bytes of the file; past its end, the next read finds the end.
static void skipBytes(uint32_t count)
{
    while (count > 0) {
        uint32_t step = count < LARGEST_SKIP ? count : LARGEST_SKIP;
        if (fseek(decoder.file, long(step), SEEK_CUR) != 0) return;
        count -= step;
    }
}

// The grey ramp: 2^depth levels (at most 128) spread evenly from 0 to 255.
static void fillGreyRamp(int bitDepth)
{
    int count = 1 << bitDepth;
    if (count > 128) count = 128;
    for (int i = 0; i < count; i++) {
        int level = i * 255 / (count - 1);
        pictureColours[i] = grAllocColor(level, level, level);
    }
}

// Paeth predictor: the left byte, the byte above or the one above-left, on ties in that order.
static int paethPredictor(int left, int above, int aboveLeft)
{
    int estimate = left + above - aboveLeft;
    int toLeft = abs(estimate - left), toAbove = abs(estimate - above), toAboveLeft = abs(estimate - aboveLeft);
    if (toLeft <= toAbove && toLeft <= toAboveLeft) return left;
    return toAbove <= toAboveLeft ? above : aboveLeft;
}

// Undoes the row's filter in place; bytes 1..rowBytes follow the filter byte.
static void unfilterRow(int bytesPerPixel)
{
    uint8_t *row = decoder.row;
    const uint8_t *above = decoder.previousRow;
    int filter = row[0];
    if (filter > 4) return;
    for (int i = 1; i <= decoder.rowBytes; i++) {
        int left = i > bytesPerPixel ? row[i - bytesPerPixel] : 0;
        int aboveLeft = i > bytesPerPixel ? above[i - bytesPerPixel] : 0;
        int predictor = 0;
        switch (filter) {
        case 1: predictor = left; break;
        case 2: predictor = above[i]; break;
        case 3: predictor = (left + above[i]) / 2; break;
        case 4: predictor = paethPredictor(left, above[i], aboveLeft); break;
        }
        row[i] = uint8_t(row[i] + predictor);
    }
}

// Plots the decoded row into the canvas (the drawing target) at y = the row counter.
static void plotRow()
{
    const uint8_t *data = decoder.row + 1;
    int y = decoder.rowCount;
    int depth = decoder.header.bitDepth;
    if (decoder.header.colourType == 2) {
        for (int i = 0, x = 0; i + 2 < decoder.rowBytes && x < PICTURE_WIDTH; i += 3, x++)
            grPlot(x, y, grAllocColor(data[i], data[i + 1], data[i + 2]));
    } else if (decoder.header.colourType == 0 && depth == 8) {
        for (int x = 0; x < decoder.rowBytes && x < PICTURE_WIDTH; x++)
            grPlot(x, y, pictureColours[data[x] / 2]);
    } else {
        int perByte = 8 / depth, mask = (1 << depth) - 1;
        for (int i = 0, x = 0; i < decoder.rowBytes; i++)
            for (int k = 0; k < perByte && x < PICTURE_WIDTH; k++, x++)
                grPlot(x, y, pictureColours[(data[i] >> (8 - depth * (k + 1))) & mask]);
    }
}

// One complete row (filter byte and rowBytes bytes) is in the row buffer.
static void processRow()
{
    if (decoder.rowCount >= PICTURE_HEIGHT) return;
    unfilterRow(decoder.header.colourType == 2 ? 3 : 1);
    plotRow();
    decoder.rowCount++;
    memcpy(decoder.previousRow, decoder.row, size_t(decoder.rowBytes) + 1);
}

// Inflates one block of image data into rows; stops inflation for good at an
// error, at the end of the stream, or as soon as the last row is complete, so
// that no more is inflated than the picture's rows hold.
static void inflateBlock(uint8_t *block, uint32_t size)
{
    z_stream &z = decoder.stream;
    if (decoder.inflateState == INFLATE_NOT_STARTED) {
        memset(&z, 0, sizeof z);
        if (inflateInit(&z) != Z_OK) {
            decoder.inflateState = INFLATE_STOPPED;
            return;
        }
        decoder.streamOpen = true;
        decoder.inflateState = INFLATE_RUNNING;
        z.next_out = decoder.row;
        z.avail_out = uInt(decoder.rowBytes + 1);
    }
    if (decoder.inflateState != INFLATE_RUNNING) return;
    z.next_in = block;
    z.avail_in = size;
    while (z.avail_in > 0) {
        int result = inflate(&z, Z_SYNC_FLUSH);
        if (z.avail_out == 0) {
            processRow();
            if (decoder.rowCount == PICTURE_HEIGHT) {
                decoder.inflateState = INFLATE_COMPLETE;
                return;
            }
            z.next_out = decoder.row;
            z.avail_out = uInt(decoder.rowBytes + 1);
        }
        if (result != Z_OK) {
            // Z_STREAM_END with input left, or an error: the rest is not inflated.
            decoder.inflateState = INFLATE_STOPPED;
            return;
        }
    }
}

// An image-data chunk of length bytes: read in blocks, unscrambled, inflated;
// the reading stops once the last row is complete. False at the file's end.
static bool readImageData(uint32_t length)
{
    if (decoder.inflateState == INFLATE_NOT_STARTED) {
        int bits = decoder.header.bitDepth * PICTURE_WIDTH;
        decoder.rowBytes = (bits + 7) / 8 * (decoder.header.colourType == 2 ? 3 : 1);
    }
    uint32_t position = 0;  // of the chunk's data, for the key
    while (position < length && decoder.inflateState != INFLATE_COMPLETE) {
        uint32_t wanted = length - position < uint32_t(INPUT_BUFFER_SIZE) ? length - position
                                                                          : uint32_t(INPUT_BUFFER_SIZE);
        uint32_t got = uint32_t(fread(decoder.input, 1, wanted, decoder.file));
        if (decoder.scrambleState == 1)
            for (uint32_t i = 0; i < got; i++)
                decoder.input[i] ^= decoder.key[(position + i) % SCRAMBLE_KEY_SIZE];
        inflateBlock(decoder.input, got);
        position += got;
        if (got < wanted) return false;
    }
    return true;
}

// Reads one chunk from its start and acts on it by its type.
static ChunkResult readChunk()
{
    uint8_t head[8];
    if (fread(head, 1, 8, decoder.file) != 8) return CHUNK_ERROR;
    uint32_t length = bigEndian(head);
    const uint8_t *type = head + 4;
    bool complete = true;
    if (chunkTypeIs(type, "IHDR") && length == 13 && !decoder.headerAccepted) {
        uint8_t data[13] = {};
        complete = fread(data, 1, 13, decoder.file) == 13;
        PictureHeader &h = decoder.header;
        h.width = bigEndian(data);
        h.height = bigEndian(data + 4);
        h.bitDepth = data[8];
        h.colourType = data[9];
        h.compression = data[10];
        h.filter = data[11];
        h.interlace = data[12];
    } else if (chunkTypeIs(type, SCRAMBLE_CHUNK_TYPE)) {
        if (length != SCRAMBLE_KEY_SIZE || decoder.scrambleState != 0) {
            decoder.scrambleState = -1;
            skipBytes(length);
        } else {
            char marker[4];
            complete = fread(marker, 1, 4, decoder.file) == 4;
            decoder.scrambleState = memcmp(marker, SCRAMBLE_MARKER, 4) == 0 ? 1 : -1;
        }
    } else if (chunkTypeIs(type, "PLTE")) {
        uint32_t entries = length / 3;
        for (uint32_t i = 0; i < entries && complete; i++) {
            uint8_t rgb[3];
            complete = fread(rgb, 1, 3, decoder.file) == 3;
            if (complete && i < PALETTE_SIZE) pictureColours[i] = grAllocColor(rgb[0], rgb[1], rgb[2]);
        }
        skipBytes(length % 3);
    } else if (chunkTypeIs(type, "IDAT") && decoder.headerAccepted) {
        complete = readImageData(length);
        if (decoder.inflateState == INFLATE_COMPLETE) return CHUNK_END;  // the rest of the file is not needed
    } else {
        skipBytes(length);
    }
    uint8_t crc[4];
    if (!complete || fread(crc, 1, 4, decoder.file) != 4 || decoder.scrambleState == -1) return CHUNK_ERROR;
    return chunkTypeIs(type, "IEND") ? CHUNK_END : CHUNK_NEXT;
}

// The first chunk's header within the accepted subset.
static bool headerSupported()
{
    const PictureHeader &h = decoder.header;
    return h.width == PICTURE_WIDTH && h.height == PICTURE_HEIGHT && h.bitDepth >= 1 && h.bitDepth <= 8 &&
           (h.colourType == 0 || h.colourType == 2 || h.colourType == 3) && h.compression == 0 &&
           h.filter == 0 && h.interlace == 0;
}

// Frees what loadPicture took, closes the file, and gives back the result.
static int releasePicture(int result)
{
    grSetDrawTarget(nullptr);
    if (decoder.streamOpen) inflateEnd(&decoder.stream);
    decoder.streamOpen = false;
    decoder.inflateState = INFLATE_NOT_STARTED;
    if (decoder.file) fclose(decoder.file);
    decoder.file = nullptr;
    return result;
}

int loadPicture(const char *path)
{
    if (!picturesEnabled) return -1;
    decoder.scrambleState = 0;
    decoder.headerAccepted = false;
    memset(&decoder.header, 0, sizeof decoder.header);
    buildScrambleKey(decoder.key);
    // The canvas and the input buffer are made once and kept for every
    // later picture: a fresh canvas costs more to map than to decode into.
    static GrSurface *canvas = nullptr;
    if (!canvas) canvas = grCreateSurface(PICTURE_WIDTH, PICTURE_HEIGHT);
    if (!decoder.input) decoder.input = static_cast<uint8_t *>(malloc(INPUT_BUFFER_SIZE));
    if (!canvas || !decoder.input) return -1;
    grSetDrawTarget(canvas);
    grClearContext(0);
    memset(decoder.previousRow, 0, sizeof decoder.previousRow);
    decoder.rowCount = 0;
    decoder.inflateState = INFLATE_NOT_STARTED;
    decoder.file = openRegularFile(path);  // a FIFO, folder or device is not opened
    if (!decoder.file) return releasePicture(-1);

    uint8_t signature[8];
    size_t got = fread(signature, 1, 8, decoder.file);
    if (got != 8 || memcmp(signature, PNG_SIGNATURE, 8) != 0) return releasePicture(-2);
    if (readChunk() != CHUNK_NEXT || !headerSupported()) return releasePicture(-3);
    decoder.headerAccepted = true;

    setUpColours(decoder.header.colourType == 2);
    if (decoder.header.colourType == 0) fillGreyRamp(decoder.header.bitDepth);

    while (readChunk() == CHUNK_NEXT) {
    }
    grSetDrawTarget(nullptr);
    grBitBltFromSurface(0, 0, canvas, 0, 0, PICTURE_WIDTH - 1, PICTURE_HEIGHT - 1);
    return releasePicture(0);
}

bool joinPicturePath(char path[MAX_PATH_LENGTH + 1], const char *name)
{
    size_t folder = strnlen(settings.ImagePath, IMAGE_PATH_SIZE);
    size_t length = strlen(name);
    size_t total = folder + (folder > 0 ? 1 : 0) + length;
    if (total > size_t(MAX_PATH_LENGTH)) return false;
    memcpy(path, settings.ImagePath, folder);
    if (folder > 0) path[folder++] = '/';
    memcpy(path + folder, name, length + 1);
    return true;
}

int showPicture(const char *name)
{
    if (name == lastPictureName) return 0;
    lastPictureName = name;
    char path[MAX_PATH_LENGTH + 1];
    int result = -1;
    if (name && joinPicturePath(path, name)) result = loadPicture(path);
    if (result == 0) return 0;
    grFilledBox(0, 0, PICTURE_WIDTH, PICTURE_HEIGHT, backgroundColour);
    grBox(0, 0, PICTURE_WIDTH, PICTURE_HEIGHT, textColour);
    return -1;
}
