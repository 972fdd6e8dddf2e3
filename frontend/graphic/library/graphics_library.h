// The drawing layer: an 800 x 600 true-colour frame, off-screen surfaces,
// the built-in 8 x 14 font and the keyboard, over SDL2 or a headless backend.
#pragma once

#include <cstdint>

constexpr int GR_SCREEN_WIDTH = 800;
constexpr int GR_SCREEN_HEIGHT = 600;
constexpr int GR_FONT_WIDTH = 8;
constexpr int GR_FONT_HEIGHT = 14;

// A colour value: packed 0xRRGGBB.
typedef uint32_t GrColor;

// Key codes delivered by grKeyRead (characters 32..255 are code page 437 bytes).
constexpr int GR_KEY_BACKSPACE = 8;
constexpr int GR_KEY_RETURN = 13;
constexpr int GR_KEY_ESCAPE = 27;
constexpr int GR_KEY_UP = 328;
constexpr int GR_KEY_PAGE_UP = 329;
constexpr int GR_KEY_DOWN = 336;
constexpr int GR_KEY_PAGE_DOWN = 337;
constexpr int GR_KEY_CTRL_PRINT_SCREEN = 370;
constexpr int GR_KEY_CTRL_Y = 25;         // the control codes the keys give
constexpr int GR_KEY_CTRL_Z = 26;
constexpr int GR_KEY_F12 = 390;
// Not a key: the window was closed; every later read returns it again.
constexpr int GR_KEY_CLOSED = -1;
// Not keys: the mouse wheel turned up or down one step (codes beyond every
// key's 16 bits, so that no key is taken for them).
constexpr int GR_KEY_WHEEL_UP = 0x10001;
constexpr int GR_KEY_WHEEL_DOWN = 0x10002;

// An off-screen drawing surface of w x h pixels.
struct GrSurface {
  int width;
  int height;
  GrColor *pixels;     // width * height values, row by row
};

// How strings are drawn: opaque 8 x 14 cells, glyph in foreground over background.
struct GrTextOption {
  GrColor foreground;
  GrColor background;
};

// Screen mode. grSetMode opens the window (with an empty key queue, unless it
// is open already) with a cleared (black) frame and returns 0; only 800 x 600 is offered. When no window can be opened it prints
// "GrSetMode: <reason>" on standard error and ends the program with status 1.
int grSetMode(int width, int height, int bitsPerPixel);
// Closes the window; no drawing follows (until the next grSetMode).
void grSetTextMode();
// The window's title and icon name.
void grSetWindowTitle(const char *title);

// Colours. Allocation never fails on the true-colour frame; reset and the
// true-colour switch only keep count of the allocations.
void grResetColors();
void grSetRGBColorMode();
GrColor grAllocColor(int red, int green, int blue);
void grQueryColor(GrColor color, int *red, int *green, int *blue);
int grAllocatedColorCount();

// Drawing on the current target (the screen unless a surface is selected).
// Corners are included and may come in any order; everything is clipped.
// grClearScreen clears the screen, whatever the target; its colour also fills
// the window around the frame when the window is larger than the frame.
void grClearScreen(GrColor color);
void grClearContext(GrColor color);    // the whole current target
void grBox(int x1, int y1, int x2, int y2, GrColor color);
void grFilledBox(int x1, int y1, int x2, int y2, GrColor color);
void grPlot(int x, int y, GrColor color);
// Limits drawing on the current target to a box (corners included) until the
// clip box is reset or another target is selected. Reading, grClearScreen
// and the bit-block copies are not limited.
void grSetClipBox(int x1, int y1, int x2, int y2);
void grResetClipBox();
GrColor grPixel(int x, int y);         // 0 outside the target
GrColor grScreenPixel(int x, int y);   // the screen, whatever the target
// Copies (x1,y1)-(x2,y2) of the screen to (x,y) of the screen; overlaps are safe.
void grBitBlt(int x, int y, int x1, int y1, int x2, int y2);
// Copies (x1,y1)-(x2,y2) of a surface to (x,y) of the screen.
void grBitBltFromSurface(int x, int y, const GrSurface *source, int x1, int y1, int x2, int y2);

// Off-screen surfaces: null when there is no memory. A null target is the screen.
GrSurface *grCreateSurface(int width, int height);
void grSetDrawTarget(GrSurface *surface);
void grDestroySurface(GrSurface *surface);    // the screen becomes the target if it was

// Draws length bytes of text with the top left of the first cell at (x, y).
void grDrawString(const char *text, int length, int x, int y, const GrTextOption *option);
// The 14 rows of a glyph, most significant bit leftmost.
const uint8_t *grGlyph(unsigned char code);

// Keyboard. grKeyRead waits for a key (GR_KEY_CLOSED once the window is gone);
// grKeyPressed is 1 when a key is waiting; grWaitKeyEvent waits at most
// milliseconds for a key (-1: forever) and is 1 when one is waiting. Waiting
// sleeps on window events, and shows the frame first.
int grKeyRead();
int grKeyPressed();
int grWaitKeyEvent(int milliseconds);
int grWindowClosed();
// Waits milliseconds without reading keys (keys typed meanwhile stay queued).
void grSleep(int milliseconds);
// Milliseconds on a monotonic clock.
int64_t grMilliseconds();

// Headless backend only (tests): queue keys, close the window, read the frame.
void grTestPushKey(int code);
void grTestPushText(const char *text);
void grTestCloseWindow();
const GrColor *grTestFrame();
const char *grTestWindowTitle();
