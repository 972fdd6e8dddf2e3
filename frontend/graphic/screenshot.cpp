// The screenshot: the whole screen as an 8-bit BMP file, "scrshot.bmp", over a palette of its own colours.
#include "frontend/graphic/screenshot.h"

#include <cstdint>

#include "core/database/file_access.h"
#include "frontend/graphic/library/graphics_library.h"

constexpr char SCREENSHOT_FILE[] = "scrshot.bmp";
constexpr int WIDTH = GR_SCREEN_WIDTH;
constexpr int HEIGHT = GR_SCREEN_HEIGHT;
constexpr int PALETTE_ENTRIES = 256;
constexpr int FILE_HEADER_SIZE = 14;
constexpr int INFO_HEADER_SIZE = 40;
constexpr int PIXEL_OFFSET = FILE_HEADER_SIZE + INFO_HEADER_SIZE + 4 * PALETTE_ENTRIES;
constexpr int FILE_SIZE = PIXEL_OFFSET + WIDTH * HEIGHT;
constexpr int PIXELS_PER_METRE = 3396;
static_assert(FILE_SIZE == 481078 && WIDTH % 4 == 0, "rows of 800 bytes need no padding");

// Colour value -> palette index, by open addressing; a slot is free when its index is -1.
constexpr int SLOT_COUNT = 4096;   // a power of two, well above the palette's 256 colours
struct ColourSlot {
    GrColor colour;
    int16_t index;
};

// The screen's palette: the distinct colours met in the order the pixels are
// written, and for the colours beyond 256 the nearest of those.
struct ScreenPalette {
    GrColor colours[PALETTE_ENTRIES];
    int count;
    ColourSlot slots[SLOT_COUNT];   // the palette's colours and the nearest-colour answers
    int slotsUsed;
};

static ScreenPalette palette;

static int slotOf(GrColor colour)
{
    unsigned slot = (colour * 2654435761u) >> 20 & (SLOT_COUNT - 1);
    while (palette.slots[slot].index >= 0 && palette.slots[slot].colour != colour)
        slot = (slot + 1) & (SLOT_COUNT - 1);
    return int(slot);
}

// The palette entry nearest to a colour (squared distance of red, green, blue; the lowest index on ties).
static int nearestEntry(GrColor colour)
{
    int red, green, blue;
    grQueryColor(colour, &red, &green, &blue);
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < palette.count; i++) {
        int r, g, b;
        grQueryColor(palette.colours[i], &r, &g, &b);
        long distance = long(r - red) * (r - red) + long(g - green) * (g - green) + long(b - blue) * (b - blue);
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// First pass: a colour not yet met joins the palette while it has room.
static void meetColour(GrColor colour)
{
    if (palette.count == PALETTE_ENTRIES) return;
    int slot = slotOf(colour);
    if (palette.slots[slot].index >= 0) return;
    palette.slots[slot] = {colour, int16_t(palette.count)};
    palette.slotsUsed++;
    palette.colours[palette.count++] = colour;
}

// Second pass: the palette index of a colour, its own or the nearest one.
static int paletteIndex(GrColor colour)
{
    int slot = slotOf(colour);
    if (palette.slots[slot].index >= 0) return palette.slots[slot].index;
    int index = nearestEntry(colour);
    // Answers are remembered while a quarter of the slots stays free, so every search ends quickly.
    if (palette.slotsUsed < SLOT_COUNT * 3 / 4) {
        palette.slots[slot] = {colour, int16_t(index)};
        palette.slotsUsed++;
    }
    return index;
}

// The file image, built whole and written in one step so that a failed
// write leaves an older screenshot as it was.
static unsigned char image[FILE_SIZE];

static unsigned char *put16(unsigned char *out, unsigned value)
{
    out[0] = static_cast<unsigned char>(value & 255);
    out[1] = static_cast<unsigned char>(value >> 8 & 255);
    return out + 2;
}

static unsigned char *put32(unsigned char *out, uint32_t value)
{
    out = put16(out, value & 0xFFFF);
    return put16(out, value >> 16);
}

int writeScreenshot()
{
    // The palette first: the colours in the order the pixels will be written.
    palette.count = 0;
    palette.slotsUsed = 0;
    for (ColourSlot &slot : palette.slots) slot.index = -1;
    for (int y = HEIGHT - 1; y >= 0; y--)
        for (int x = 0; x < WIDTH; x++) meetColour(grScreenPixel(x, y));

    unsigned char *out = image;
    // File header.
    out = put16(out, 'B' | 'M' << 8);
    out = put32(out, FILE_SIZE);
    out = put16(out, 0);
    out = put16(out, 0);
    out = put32(out, PIXEL_OFFSET);
    // Information header.
    out = put32(out, INFO_HEADER_SIZE);
    out = put32(out, WIDTH);
    out = put32(out, HEIGHT);
    out = put16(out, 1);
    out = put16(out, 8);
    out = put32(out, 0);
    out = put32(out, 0);
    out = put32(out, PIXELS_PER_METRE);
    out = put32(out, PIXELS_PER_METRE);
    out = put32(out, 0);
    out = put32(out, 0);
    // Palette: blue, green, red, 0; unused entries black.
    for (int i = 0; i < PALETTE_ENTRIES; i++) {
        int red = 0, green = 0, blue = 0;
        if (i < palette.count) grQueryColor(palette.colours[i], &red, &green, &blue);
        *out++ = static_cast<unsigned char>(blue);
        *out++ = static_cast<unsigned char>(green);
        *out++ = static_cast<unsigned char>(red);
        *out++ = 0;
    }
    // Pixels, bottom row first.
    for (int y = HEIGHT - 1; y >= 0; y--)
        for (int x = 0; x < WIDTH; x++) *out++ = static_cast<unsigned char>(paletteIndex(grScreenPixel(x, y)));
    return writeWholeFile(SCREENSHOT_FILE, image, FILE_SIZE);
}
