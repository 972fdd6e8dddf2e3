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
constexpr int ROW_BUFFER_SIZE = 1 + MAX_ROW_BYTES;   // a filter byte and the widest row
constexpr int BATCH_SIZE = 32 * ROW_BUFFER_SIZE;      // inflated rows drawn after one inflate call
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
    int batchRows;                 // complete rows at the batch's start, all drawn
    int coloursFrom;               // the first row drawn with pictureColours as they are now
    GrColor *canvasPixels;         // the canvas's rows of PICTURE_WIDTH values
    uint8_t previousRow[ROW_BUFFER_SIZE];   // the row above the batch's first row
    uint8_t batch[BATCH_SIZE];     // inflated rows, filter byte first, one after another
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
static inline int paethPredictor(int left, int above, int aboveLeft)
{
    int toLeft = abs(above - aboveLeft);            // |left + above - aboveLeft - left|
    int toAbove = abs(left - aboveLeft);
    int toAboveLeft = abs(left + above - 2 * aboveLeft);
    if (toLeft <= toAbove && toLeft <= toAboveLeft) return left;
    return toAbove <= toAboveLeft ? above : aboveLeft;
}

static inline uint8_t averaged(uint8_t filtered, uint8_t left, uint8_t up)
{
    return uint8_t(filtered + ((unsigned(left) + up) >> 1));
}

static inline uint8_t paethed(uint8_t filtered, uint8_t left, uint8_t up, uint8_t upLeft)
{
    return uint8_t(filtered + paethPredictor(left, up, upLeft));
}

// Undoing the filters, one loop each, in place: row and above are a row's
// bytes after its filter byte; rows of 1 byte a pixel and of 3 (red, green,
// blue) have loops of their own. Bytes left of the row count as 0. The bytes
// to the left are carried in locals, so that no byte waits for the one just
// stored.
static void undoSub1(uint8_t *row, int length)
{
    uint8_t left = 0;
    for (int i = 0; i < length; i++) left = row[i] = uint8_t(row[i] + left);
}

static void undoSub3(uint8_t *row, int length)
{
    uint8_t red = 0, green = 0, blue = 0;
    for (int i = 0; i < length; i += 3) {
        red = row[i] = uint8_t(row[i] + red);
        green = row[i + 1] = uint8_t(row[i + 1] + green);
        blue = row[i + 2] = uint8_t(row[i + 2] + blue);
    }
}

static void undoUp(uint8_t *row, const uint8_t *above, int length)
{
    for (int i = 0; i < length; i++) row[i] = uint8_t(row[i] + above[i]);
}

static void undoAverage1(uint8_t *row, const uint8_t *above, int length)
{
    uint8_t left = 0;
    for (int i = 0; i < length; i++) left = row[i] = averaged(row[i], left, above[i]);
}

static void undoAverage3(uint8_t *row, const uint8_t *above, int length)
{
    uint8_t red = 0, green = 0, blue = 0;
    for (int i = 0; i < length; i += 3) {
        red = row[i] = averaged(row[i], red, above[i]);
        green = row[i + 1] = averaged(row[i + 1], green, above[i + 1]);
        blue = row[i + 2] = averaged(row[i + 2], blue, above[i + 2]);
    }
}

static void undoPaeth1(uint8_t *row, const uint8_t *above, int length)
{
    uint8_t left = 0, upLeft = 0;
    for (int i = 0; i < length; i++) {
        uint8_t up = above[i];
        left = row[i] = paethed(row[i], left, up, upLeft);
        upLeft = up;
    }
}

static void undoPaeth3(uint8_t *row, const uint8_t *above, int length)
{
    uint8_t red = 0, green = 0, blue = 0, upRed = 0, upGreen = 0, upBlue = 0;
    for (int i = 0; i < length; i += 3) {
        uint8_t up = above[i];
        red = row[i] = paethed(row[i], red, up, upRed);
        upRed = up;
        up = above[i + 1];
        green = row[i + 1] = paethed(row[i + 1], green, up, upGreen);
        upGreen = up;
        up = above[i + 2];
        blue = row[i + 2] = paethed(row[i + 2], blue, up, upBlue);
        upBlue = up;
    }
}

// Undoes the filter named by the row's first byte; a filter byte above 4
// leaves the row as it is. A true-colour row's length is a multiple of 3.
static void unfilterRow(uint8_t *row, const uint8_t *above)
{
    uint8_t *bytes = row + 1;
    const uint8_t *up = above + 1;
    int length = decoder.rowBytes;
    bool trueColour = decoder.header.colourType == 2;
    switch (row[0]) {
    case 1: trueColour ? undoSub3(bytes, length) : undoSub1(bytes, length); break;
    case 2: undoUp(bytes, up, length); break;
    case 3: trueColour ? undoAverage3(bytes, up, length) : undoAverage1(bytes, up, length); break;
    case 4: trueColour ? undoPaeth3(bytes, up, length) : undoPaeth1(bytes, up, length); break;
    }
}

// Colours of samples packed several to a byte, most significant bits first;
// the pixels the row's bytes do not reach (bit depths that do not divide 8)
// are colour value 0.
static void drawPackedRow(const uint8_t *data, GrColor *out, int depth)
{
    int perByte = 8 / depth, mask = (1 << depth) - 1;
    int x = 0;
    for (int i = 0; i < decoder.rowBytes && x < PICTURE_WIDTH; i++)
        for (int k = 0; k < perByte && x < PICTURE_WIDTH; k++, x++)
            out[x] = pictureColours[(data[i] >> (8 - depth * (k + 1))) & mask];
    for (; x < PICTURE_WIDTH; x++) out[x] = 0;
}

// Writes the unfiltered row's colours into a canvas row.
static void drawRow(const uint8_t *data, GrColor *out)
{
    int depth = decoder.header.bitDepth;
    if (decoder.header.colourType == 2) {
        // Red, green and blue bytes, packed as the drawing layer's colour values are.
        int x = 0;
        for (; x < PICTURE_WIDTH && 3 * x + 2 < decoder.rowBytes; x++)
            out[x] = GrColor(data[3 * x]) << 16 | GrColor(data[3 * x + 1]) << 8 | data[3 * x + 2];
        for (; x < PICTURE_WIDTH; x++) out[x] = 0;
    } else if (depth == 8) {
        // 8-bit grey shows the 128-level ramp: half the byte.
        int shift = decoder.header.colourType == 0 ? 1 : 0;
        for (int x = 0; x < PICTURE_WIDTH; x++) out[x] = pictureColours[data[x] >> shift];
    } else {
        drawPackedRow(data, out, depth);
    }
}

// Points inflation at the batch's start, with room for as many whole rows as
// fit and the picture still needs; the last row drawn becomes the row above.
static void startBatch()
{
    int stride = decoder.rowBytes + 1;
    if (decoder.batchRows > 0)
        memcpy(decoder.previousRow, decoder.batch + size_t(decoder.batchRows - 1) * size_t(stride), size_t(stride));
    decoder.batchRows = 0;
    int rows = BATCH_SIZE / stride;
    if (rows > PICTURE_HEIGHT - decoder.rowCount) rows = PICTURE_HEIGHT - decoder.rowCount;
    decoder.stream.next_out = decoder.batch;
    decoder.stream.avail_out = uInt(rows * stride);
}

// Unfilters and draws the rows that inflation has completed in the batch.
static void drawCompleteRows()
{
    int stride = decoder.rowBytes + 1;
    int complete = int(decoder.stream.next_out - decoder.batch) / stride;
    for (int i = decoder.batchRows; i < complete; i++) {
        uint8_t *row = decoder.batch + size_t(i) * size_t(stride);
        const uint8_t *above = i == 0 ? decoder.previousRow : row - stride;
        unfilterRow(row, above);
        GrColor *out = decoder.canvasPixels + size_t(decoder.rowCount) * PICTURE_WIDTH;
        if (decoder.rowCount > decoder.coloursFrom && memcmp(row + 1, above + 1, size_t(decoder.rowBytes)) == 0)
            memcpy(out, out - PICTURE_WIDTH, PICTURE_WIDTH * sizeof(GrColor));  // the same bytes as above
        else
            drawRow(row + 1, out);
        decoder.rowCount++;
    }
    decoder.batchRows = complete;
}

// Inflates one block of image data into rows; stops inflation for good at an
// error, at the end of the stream, or as soon as the last row is complete, so
// that no more is inflated than the picture's rows hold. The rows completed
// before an error stand; a row the error cuts short is not drawn.
static void inflateBlock(uint8_t *block, uint32_t size)
{
    z_stream &z = decoder.stream;
    if (decoder.inflateState == INFLATE_NOT_STARTED) {
        memset(&z, 0, sizeof z);
        if (inflateInit(&z) != Z_OK) {
            decoder.inflateState = INFLATE_STOPPED;
            return;
        }
        // The check value at the stream's end comes after the last row has been
        // drawn; nothing waits for it, so it is not computed.
        inflateValidate(&z, 0);
        decoder.streamOpen = true;
        decoder.inflateState = INFLATE_RUNNING;
        decoder.batchRows = 0;
        startBatch();
    }
    if (decoder.inflateState != INFLATE_RUNNING) return;
    z.next_in = block;
    z.avail_in = size;
    while (z.avail_in > 0) {
        int result = inflate(&z, Z_SYNC_FLUSH);
        drawCompleteRows();
        if (decoder.rowCount == PICTURE_HEIGHT) {
            decoder.inflateState = INFLATE_COMPLETE;
            return;
        }
        if (z.avail_out == 0) startBatch();
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
        decoder.coloursFrom = decoder.rowCount;   // rows drawn before keep the former colours
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
    // The canvas is not cleared here: decoding writes every pixel of each row
    // it draws, and the rows below the last one are cleared when it is done.
    grSetDrawTarget(canvas);
    decoder.canvasPixels = canvas->pixels;
    memset(decoder.previousRow, 0, sizeof decoder.previousRow);
    decoder.rowCount = 0;
    decoder.coloursFrom = 0;
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
    // Colour value 0 below the rows decoded.
    GrColor *below = canvas->pixels + size_t(decoder.rowCount) * PICTURE_WIDTH;
    memset(below, 0, size_t(PICTURE_HEIGHT - decoder.rowCount) * PICTURE_WIDTH * sizeof(GrColor));
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
