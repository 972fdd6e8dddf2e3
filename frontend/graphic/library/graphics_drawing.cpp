// The drawing layer's frame: colours, boxes, pixels, bit-block copies,
// off-screen surfaces and strings in the built-in font.
#include "frontend/graphic/library/graphics_library.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend/graphic/library/font_8x14.h"
#include "frontend/graphic/library/graphics_backend.h"

static GrColor screenPixels[GR_SCREEN_WIDTH * GR_SCREEN_HEIGHT];
static GrSurface screen = {GR_SCREEN_WIDTH, GR_SCREEN_HEIGHT, screenPixels};
static GrSurface *target = &screen;
static int clipLeft = 0, clipTop = 0;                 // drawing limits on the target
static int clipRight = GR_SCREEN_WIDTH - 1, clipBottom = GR_SCREEN_HEIGHT - 1;
static GrColor borderColour = 0;
static int colourCount = 0;
static bool windowOpen = false;
bool frameDirty = false;           // drawn on the screen since it was last shown
static PixelBox changedBox = EMPTY_BOX;   // the screen's pixels drawn since then

// Drawing on a surface touched the box (clipped, corners in order).
static void touched(const GrSurface *surface, int x1, int y1, int x2, int y2)
{
    if (surface != &screen) return;
    frameDirty = true;
    changedBox = joinBoxes(changedBox, {x1, y1, x2, y2});
}

int grSetMode(int width, int height, int bitsPerPixel)
{
    char reason[256] = "";
    if (width != GR_SCREEN_WIDTH || height != GR_SCREEN_HEIGHT || bitsPerPixel != 24) {
        fprintf(stderr, "GrSetMode: mode %dx%dx%d not available\n", width, height, bitsPerPixel);
        exit(1);
    }
    if (!windowOpen) {
        if (backendOpen(reason, sizeof reason) != 0) {
            fprintf(stderr, "GrSetMode: %s\n", reason);
            exit(1);
        }
        windowOpen = true;
        resetKeyboard();
    }
    memset(screenPixels, 0, sizeof screenPixels);
    grSetDrawTarget(nullptr);
    borderColour = 0;
    touched(&screen, 0, 0, GR_SCREEN_WIDTH - 1, GR_SCREEN_HEIGHT - 1);
    return 0;
}

void grSetTextMode()
{
    if (!windowOpen) return;
    backendClose();
    windowOpen = false;
}

void grSetWindowTitle(const char *title)
{
    if (windowOpen && title) backendSetTitle(title);
}

void presentFrame()
{
    if (windowOpen) backendPresent(screenPixels, borderColour, changedBox);
    frameDirty = false;
    changedBox = EMPTY_BOX;
}

const GrColor *screenFrame()
{
    return screenPixels;
}

void grResetColors()
{
    colourCount = 0;
}

void grSetRGBColorMode()
{
}

GrColor grAllocColor(int red, int green, int blue)
{
    colourCount++;
    return (GrColor)((red & 255) << 16 | (green & 255) << 8 | (blue & 255));
}

void grQueryColor(GrColor color, int *red, int *green, int *blue)
{
    *red = (int)(color >> 16 & 255);
    *green = (int)(color >> 8 & 255);
    *blue = (int)(color & 255);
}

int grAllocatedColorCount()
{
    return colourCount;
}

void grSetClipBox(int x1, int y1, int x2, int y2)
{
    if (x1 > x2) { int t = x1; x1 = x2; x2 = t; }
    if (y1 > y2) { int t = y1; y1 = y2; y2 = t; }
    clipLeft = x1 < 0 ? 0 : x1;
    clipTop = y1 < 0 ? 0 : y1;
    clipRight = x2 >= target->width ? target->width - 1 : x2;
    clipBottom = y2 >= target->height ? target->height - 1 : y2;
}

void grResetClipBox()
{
    clipLeft = clipTop = 0;
    clipRight = target->width - 1;
    clipBottom = target->height - 1;
}

// Orders two corners and clips them; false when nothing is left. The clip box
// applies on the current target, the surface's own bounds everywhere.
static bool clipBox(const GrSurface *surface, int &x1, int &y1, int &x2, int &y2)
{
    if (x1 > x2) { int t = x1; x1 = x2; x2 = t; }
    if (y1 > y2) { int t = y1; y1 = y2; y2 = t; }
    bool limited = surface == target;
    int left = limited ? clipLeft : 0, top = limited ? clipTop : 0;
    int right = limited ? clipRight : surface->width - 1;
    int bottom = limited ? clipBottom : surface->height - 1;
    if (x1 < left) x1 = left;
    if (y1 < top) y1 = top;
    if (x2 > right) x2 = right;
    if (y2 > bottom) y2 = bottom;
    return x1 <= x2 && y1 <= y2;
}

static void fill(GrSurface *surface, int x1, int y1, int x2, int y2, GrColor color)
{
    if (!clipBox(surface, x1, y1, x2, y2)) return;
    for (int y = y1; y <= y2; y++) {
        GrColor *row = surface->pixels + (size_t)y * surface->width;
        for (int x = x1; x <= x2; x++) row[x] = color;
    }
    touched(surface, x1, y1, x2, y2);
}

void grClearScreen(GrColor color)
{
    borderColour = color;
    for (GrColor &pixel : screenPixels) pixel = color;
    touched(&screen, 0, 0, GR_SCREEN_WIDTH - 1, GR_SCREEN_HEIGHT - 1);
}

void grClearContext(GrColor color)
{
    fill(target, 0, 0, target->width - 1, target->height - 1, color);
}

void grFilledBox(int x1, int y1, int x2, int y2, GrColor color)
{
    fill(target, x1, y1, x2, y2, color);
}

void grBox(int x1, int y1, int x2, int y2, GrColor color)
{
    if (x1 > x2) { int t = x1; x1 = x2; x2 = t; }
    if (y1 > y2) { int t = y1; y1 = y2; y2 = t; }
    fill(target, x1, y1, x2, y1, color);
    fill(target, x1, y2, x2, y2, color);
    fill(target, x1, y1, x1, y2, color);
    fill(target, x2, y1, x2, y2, color);
}

void grPlot(int x, int y, GrColor color)
{
    if (x < clipLeft || y < clipTop || x > clipRight || y > clipBottom) return;
    target->pixels[(size_t)y * target->width + x] = color;
    touched(target, x, y, x, y);
}

GrColor grPixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= target->width || y >= target->height) return 0;
    return target->pixels[(size_t)y * target->width + x];
}

GrColor grScreenPixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= GR_SCREEN_WIDTH || y >= GR_SCREEN_HEIGHT) return 0;
    return screenPixels[y * GR_SCREEN_WIDTH + x];
}

// Copies the source rectangle to (x, y) of the screen, clipped on both sides;
// rows are copied in the order that keeps overlapping copies right.
static void blit(int x, int y, const GrSurface *source, int x1, int y1, int x2, int y2)
{
    if (!source) return;
    if (x1 > x2) { int t = x1; x1 = x2; x2 = t; }
    if (y1 > y2) { int t = y1; y1 = y2; y2 = t; }
    if (x1 < 0) { x -= x1; x1 = 0; }
    if (y1 < 0) { y -= y1; y1 = 0; }
    if (x < 0) { x1 -= x; x = 0; }
    if (y < 0) { y1 -= y; y = 0; }
    if (x2 >= source->width) x2 = source->width - 1;
    if (y2 >= source->height) y2 = source->height - 1;
    if (x + (x2 - x1) >= GR_SCREEN_WIDTH) x2 = x1 + GR_SCREEN_WIDTH - 1 - x;
    if (y + (y2 - y1) >= GR_SCREEN_HEIGHT) y2 = y1 + GR_SCREEN_HEIGHT - 1 - y;
    if (x1 > x2 || y1 > y2) return;
    int rows = y2 - y1 + 1;
    size_t bytes = (size_t)(x2 - x1 + 1) * sizeof(GrColor);
    for (int i = 0; i < rows; i++) {
        int row = y > y1 ? rows - 1 - i : i;
        memmove(screenPixels + (size_t)(y + row) * GR_SCREEN_WIDTH + x,
                source->pixels + (size_t)(y1 + row) * source->width + x1, bytes);
    }
    touched(&screen, x, y, x + (x2 - x1), y + (y2 - y1));
}

void grBitBlt(int x, int y, int x1, int y1, int x2, int y2)
{
    blit(x, y, &screen, x1, y1, x2, y2);
}

void grBitBltFromSurface(int x, int y, const GrSurface *source, int x1, int y1, int x2, int y2)
{
    blit(x, y, source, x1, y1, x2, y2);
}

GrSurface *grCreateSurface(int width, int height)
{
    if (width <= 0 || height <= 0) return nullptr;
    GrSurface *surface = static_cast<GrSurface *>(malloc(sizeof(GrSurface)));
    if (!surface) return nullptr;
    surface->pixels = static_cast<GrColor *>(calloc((size_t)width * height, sizeof(GrColor)));
    if (!surface->pixels) {
        free(surface);
        return nullptr;
    }
    surface->width = width;
    surface->height = height;
    return surface;
}

void grSetDrawTarget(GrSurface *surface)
{
    target = surface ? surface : &screen;
    grResetClipBox();
}

void grDestroySurface(GrSurface *surface)
{
    if (!surface || surface == &screen) return;
    if (target == surface) grSetDrawTarget(nullptr);
    free(surface->pixels);
    free(surface);
}

const uint8_t *grGlyph(unsigned char code)
{
    return FONT_8X14[code];
}

void grDrawString(const char *text, int length, int x, int y, const GrTextOption *option)
{
    if (!text || !option) return;
    for (int i = 0; i < length; i++) {
        const uint8_t *glyph = FONT_8X14[(unsigned char)text[i]];
        int left = x + i * GR_FONT_WIDTH;
        for (int row = 0; row < GR_FONT_HEIGHT; row++)
            for (int column = 0; column < GR_FONT_WIDTH; column++)
                grPlot(left + column, y + row,
                       glyph[row] & (0x80 >> column) ? option->foreground : option->background);
    }
}
