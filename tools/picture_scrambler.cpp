// picscramble: turns a plain picture file into its scrambled form and back.
//
//   picscramble in.png out.png      scramble: marker chunk after IHDR, image data XORed
//   picscramble -u in.png out.png   unscramble: marker chunk removed, image data restored
//
// The input must be a PNG of the pictures' subset (384 x 256, bit depth 1 to 8,
// colour type 0, 2 or 3, no interlace). Every chunk written carries a correct CRC.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

#include "frontend/graphic/pictures.h"
#include "frontend/graphic/scramble_key.h"

namespace {

constexpr long MAX_INPUT_SIZE = 16L * 1024 * 1024;  // far above any picture of 384 x 256
constexpr uint8_t PNG_SIGNATURE[8] = {137, 80, 78, 71, 13, 10, 26, 10};

uint8_t *input;      // the whole input file
long inputSize;
uint8_t scrambleKey[SCRAMBLE_KEY_SIZE];

uint32_t readBigEndian(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void writeBigEndian(FILE *out, uint32_t value)
{
    uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    fwrite(bytes, 1, 4, out);
}

// Same letters whatever their case, as the decoder compares chunk types.
bool typeIs(const uint8_t *type, const char *name)
{
    for (int i = 0; i < 4; i++) {
        int a = type[i], b = static_cast<unsigned char>(name[i]);
        if (a >= 'a' && a <= 'z') a -= 32;
        if (b >= 'a' && b <= 'z') b -= 32;
        if (a != b) return false;
    }
    return true;
}

// Writes one chunk; with xorKey set, its data is XORed with the key from data byte 0.
void writeChunk(FILE *out, const uint8_t *type, const uint8_t *data, uint32_t length, bool xorKey)
{
    writeBigEndian(out, length);
    fwrite(type, 1, 4, out);
    uLong crc = crc32(0L, type, 4);
    uint8_t block[4096];
    for (uint32_t done = 0; done < length;) {
        uint32_t n = length - done < sizeof block ? length - done : uint32_t(sizeof block);
        for (uint32_t i = 0; i < n; i++) {
            uint32_t j = done + i;
            block[i] = xorKey ? uint8_t(data[j] ^ scrambleKey[j % SCRAMBLE_KEY_SIZE]) : data[j];
        }
        crc = crc32(crc, block, n);
        fwrite(block, 1, n, out);
        done += n;
    }
    writeBigEndian(out, uint32_t(crc));
}

bool readInput(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (!file) {
        fprintf(stderr, "picscramble: cannot open %s\n", path);
        return false;
    }
    input = static_cast<uint8_t *>(malloc(MAX_INPUT_SIZE + 1));
    inputSize = input ? long(fread(input, 1, MAX_INPUT_SIZE + 1, file)) : 0;
    fclose(file);
    if (!input || inputSize > MAX_INPUT_SIZE) {
        fprintf(stderr, "picscramble: %s is too large\n", path);
        return false;
    }
    return true;
}

// Checks the signature and an IHDR of the accepted subset as the first chunk.
bool checkHeader(const char *path)
{
    if (inputSize < 8 + 12 + 13 || memcmp(input, PNG_SIGNATURE, 8) != 0 ||
        readBigEndian(input + 8) != 13 || !typeIs(input + 12, "IHDR")) {
        fprintf(stderr, "picscramble: %s is not a PNG file starting with its header\n", path);
        return false;
    }
    const uint8_t *h = input + 16;
    int depth = h[8], colourType = h[9];
    if (readBigEndian(h) != PICTURE_WIDTH || readBigEndian(h + 4) != PICTURE_HEIGHT ||
        depth < 1 || depth > 8 || (colourType != 0 && colourType != 2 && colourType != 3) ||
        h[10] != 0 || h[11] != 0 || h[12] != 0) {
        fprintf(stderr, "picscramble: %s is not a 384 x 256 picture of depth 1 to 8, "
                        "colour type 0, 2 or 3, without interlace\n", path);
        return false;
    }
    return true;
}

// Copies the chunks to out, scrambling or unscrambling. 0, or 1 after a message.
int convert(const char *inPath, FILE *out, bool unscramble)
{
    fwrite(PNG_SIGNATURE, 1, 8, out);
    bool markerSeen = false;
    long at = 8;
    while (at < inputSize) {
        if (inputSize - at < 12) {
            fprintf(stderr, "picscramble: %s ends inside a chunk\n", inPath);
            return 1;
        }
        uint32_t length = readBigEndian(input + at);
        const uint8_t *type = input + at + 4;
        if (length > uint32_t(inputSize - at - 12)) {
            fprintf(stderr, "picscramble: %s ends inside a chunk\n", inPath);
            return 1;
        }
        const uint8_t *data = input + at + 8;
        bool isMarker = typeIs(type, SCRAMBLE_CHUNK_TYPE);
        if (isMarker) {
            if (!unscramble) {
                fprintf(stderr, "picscramble: %s is scrambled already\n", inPath);
                return 1;
            }
            if (markerSeen || length != 4 || memcmp(data, SCRAMBLE_MARKER, 4) != 0) {
                fprintf(stderr, "picscramble: %s has an invalid scramble marker\n", inPath);
                return 1;
            }
            markerSeen = true;
        } else {
            if (typeIs(type, "IDAT") && unscramble && !markerSeen) {
                fprintf(stderr, "picscramble: %s is not scrambled\n", inPath);
                return 1;
            }
            writeChunk(out, type, data, length, typeIs(type, "IDAT"));
            if (at == 8 && !unscramble)
                writeChunk(out, reinterpret_cast<const uint8_t *>(SCRAMBLE_CHUNK_TYPE),
                           reinterpret_cast<const uint8_t *>(SCRAMBLE_MARKER), 4, false);
        }
        at += 12 + long(length);
        if (typeIs(type, "IEND")) break;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    bool unscramble = argc == 4 && strcmp(argv[1], "-u") == 0;
    if (argc != (unscramble ? 4 : 3)) {
        fprintf(stderr, "usage: picscramble [-u] input.png output.png\n");
        return 2;
    }
    const char *inPath = argv[unscramble ? 2 : 1];
    const char *outPath = argv[unscramble ? 3 : 2];
    if (!readInput(inPath) || !checkHeader(inPath)) {
        free(input);
        return 1;
    }
    buildScrambleKey(scrambleKey);
    FILE *out = fopen(outPath, "wb");
    if (!out) {
        fprintf(stderr, "picscramble: cannot write %s\n", outPath);
        free(input);
        return 1;
    }
    int status = convert(inPath, out, unscramble);
    if (fclose(out) != 0 && status == 0) {
        fprintf(stderr, "picscramble: cannot write %s\n", outPath);
        status = 1;
    }
    if (status != 0) remove(outPath);
    free(input);
    return status;
}
