// The main window's scrollback: each line that leaves the text box is kept
// one bit a pixel (the box holds only the text colour and the background) in
// a ring of the newest SCROLLBACK_LINES; the view draws kept lines in the box
// and puts the live box back exactly as it was when it returns.
#include "frontend/graphic/scrollback.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

constexpr int BOX_WIDTH = MAIN_TEXT_BOX.right - MAIN_TEXT_BOX.left + 1;
constexpr int BOX_HEIGHT = MAIN_TEXT_BOX.bottom - MAIN_TEXT_BOX.top + 1;
constexpr int ROW_BYTES = (BOX_WIDTH + 7) / 8;
constexpr int LINE_CELLS = (MAIN_TEXT_BOX.right - MAIN_TEXT_BOX.left) / GR_FONT_WIDTH;

// The marker: a label in reverse colours hanging from the top frame line over
// the last cells of the top line, " ^ 42 more ".
constexpr int MARKER_SIZE = 16;           // label bytes, NUL included
constexpr int MARKER_WIDTH = (MARKER_SIZE - 1) * GR_FONT_WIDTH;
constexpr int MARKER_RIGHT = MAIN_TEXT_BOX.left + LINE_CELLS * GR_FONT_WIDTH;   // just past the last cell
constexpr int MARKER_LEFT = MARKER_RIGHT - MARKER_WIDTH;   // of the widest label

// One kept line: its LINE_HEIGHT rows of the text box, a set bit for the text colour.
struct KeptLine {
    uint8_t rows[LINE_HEIGHT][ROW_BYTES];
};

static KeptLine keptLines[SCROLLBACK_LINES];   // a ring, oldest at keptStart
static int keptStart = 0;
static int keptCount = 0;
static int emptyLines = VIEW_LINES;       // top lines of the box not drawn on since it was cleared
static int viewBack = 0;                  // lines the view stands back from the live one; 0: live

// While the view is back: the live box and what lay under the marker. And
// one kept line unpacked for drawing.
static GrColor livePixels[BOX_WIDTH * BOX_HEIGHT];
static GrSurface liveBox = {BOX_WIDTH, BOX_HEIGHT, livePixels};
static GrColor underMarkerPixels[MARKER_WIDTH * GR_FONT_HEIGHT];
static GrSurface underMarker = {MARKER_WIDTH, GR_FONT_HEIGHT, underMarkerPixels};
static GrColor linePixels[BOX_WIDTH * LINE_HEIGHT];
static GrSurface lineImage = {BOX_WIDTH, LINE_HEIGHT, linePixels};

static int markerTop()
{
    return screenWindows[MAIN_WINDOW].frame.top;
}

// Keeps line number line of the box (0 = top), dropping the oldest when full.
static void keepLine(int line)
{
    int slot = (keptStart + keptCount) % SCROLLBACK_LINES;
    if (keptCount < SCROLLBACK_LINES)
        keptCount++;
    else
        keptStart = (keptStart + 1) % SCROLLBACK_LINES;
    int top = MAIN_TEXT_BOX.top + line * LINE_HEIGHT;
    for (int row = 0; row < LINE_HEIGHT; row++) {
        uint8_t *bits = keptLines[slot].rows[row];
        memset(bits, 0, ROW_BYTES);
        for (int x = 0; x < BOX_WIDTH; x++)
            if (grScreenPixel(MAIN_TEXT_BOX.left + x, top + row) == textColour)
                bits[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
}

void keepScrolledLine()
{
    if (emptyLines > 0)
        emptyLines--;           // a line of the cleared box: nothing to keep
    else
        keepLine(0);
}

void keepClearedLines()
{
    for (int line = emptyLines; line < VIEW_LINES; line++) keepLine(line);
    emptyLines = VIEW_LINES;
}

void markLineDrawn(int line)
{
    if (line < emptyLines) emptyLines = line;
}

void forgetScrollback()
{
    keptStart = 0;
    keptCount = 0;
    emptyLines = VIEW_LINES;
    viewBack = 0;
}

// Copies the screen from (x, y) into the whole of a surface, and back.
static void saveScreen(GrSurface &copy, int x, int y)
{
    for (int row = 0; row < copy.height; row++)
        for (int column = 0; column < copy.width; column++)
            copy.pixels[row * copy.width + column] = grScreenPixel(x + column, y + row);
}

static void restoreScreen(const GrSurface &copy, int x, int y)
{
    grBitBltFromSurface(x, y, &copy, 0, 0, copy.width - 1, copy.height - 1);
}

// Draws kept line number index (0 = oldest) with its top at y.
static void drawKeptLine(int index, int y)
{
    const KeptLine &kept = keptLines[(keptStart + index) % SCROLLBACK_LINES];
    for (int row = 0; row < LINE_HEIGHT; row++)
        for (int x = 0; x < BOX_WIDTH; x++)
            linePixels[row * BOX_WIDTH + x] =
                kept.rows[row][x / 8] & (0x80 >> (x % 8)) ? textColour : backgroundColour;
    restoreScreen(lineImage, MAIN_TEXT_BOX.left, y);
}

// The kept lines and then the live box's, viewBack lines back from the live
// view, and the marker with the count of older lines.
static void drawView()
{
    restoreScreen(underMarker, MARKER_LEFT, markerTop());
    for (int slot = 0; slot < VIEW_LINES; slot++) {
        int line = keptCount - viewBack + slot;
        int y = MAIN_TEXT_BOX.top + slot * LINE_HEIGHT;
        if (line < keptCount) {
            drawKeptLine(line, y);
        } else {
            int top = (line - keptCount) * LINE_HEIGHT;
            grBitBltFromSurface(MAIN_TEXT_BOX.left, y, &liveBox, 0, top, BOX_WIDTH - 1, top + LINE_HEIGHT - 1);
        }
    }
    char label[MARKER_SIZE];
    int length = snprintf(label, sizeof label, " ^ %d more ", keptCount - viewBack);
    GrTextOption reverse = {backgroundColour, textColour};
    grDrawString(label, length, MARKER_RIGHT - length * GR_FONT_WIDTH, markerTop(), &reverse);
}

void scrollView(int lines)
{
    int back = viewBack + lines;
    if (back > keptCount) back = keptCount;
    if (back < 0) back = 0;
    if (back == viewBack) return;
    if (back == 0) {
        showLiveView();
        return;
    }
    if (viewBack == 0) {
        saveScreen(liveBox, MAIN_TEXT_BOX.left, MAIN_TEXT_BOX.top);
        saveScreen(underMarker, MARKER_LEFT, markerTop());
    }
    viewBack = back;
    drawView();
}

void showLiveView()
{
    if (viewBack == 0) return;
    viewBack = 0;
    restoreScreen(underMarker, MARKER_LEFT, markerTop());
    restoreScreen(liveBox, MAIN_TEXT_BOX.left, MAIN_TEXT_BOX.top);
}

bool viewScrolledBack()
{
    return viewBack > 0;
}
