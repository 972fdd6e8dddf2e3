// The graphical screen: opening and closing the window, colours, the four
// framed windows and the layout of texts in them (wrap, breaks, scrolling).
#include "frontend/graphic/graphic_screen.h"

#include <climits>
#include <cstring>

#include "core/database/game_database.h"
#include "core/interpreter/listings.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_transcript.h"
#include "frontend/graphic/pictures.h"
#include "frontend/graphic/scrollback.h"

const Rgb standardColours[STANDARD_COLOUR_COUNT] = {
    {0, 0, 0},       {32, 32, 136},   {32, 136, 32},   {32, 136, 136},
    {136, 32, 32},   {136, 32, 136},  {136, 136, 32},  {112, 112, 112},
    {176, 176, 176}, {64, 64, 208},   {64, 208, 64},   {64, 208, 208},
    {208, 64, 64},   {208, 64, 208},  {208, 208, 64},  {240, 240, 240},
};

// In window number order: picture, heading, description, main.
const ScreenWindow screenWindows[WINDOW_COUNT] = {
    {{0, 0, 384, 256}, {4, 4, 380, 252}},
    {{0, 256, 384, 320}, {4, 260, 380, 316}},
    {{384, 0, 799, 320}, {388, 4, 796, 316}},
    {{0, 320, 799, 599}, MAIN_TEXT_BOX},
};

GrColor backgroundColour = 0;
GrColor textColour = 0;
GrTextOption textOption = {0, 0};

int currentWindow = PICTURE_WINDOW;
int outputFlags = 0;
bool replyTranscribed = false;
int lineOffset = 0;

// A colour index outside the table (never let through by the settings reader)
// reads as black for the background and as the lightest colour for text.
static GrColor allocateStandard(int index, int fallback)
{
    const Rgb &rgb = standardColours[index >= 0 && index < STANDARD_COLOUR_COUNT ? index : fallback];
    return grAllocColor(rgb.red, rgb.green, rgb.blue);
}

void setUpColours(int trueColour)
{
    grResetColors();
    if (trueColour) grSetRGBColorMode();
    backgroundColour = allocateStandard(settings.BgColor, 0);
    textColour = allocateStandard(settings.FgColor, 15);
    textOption.foreground = textColour;
    textOption.background = backgroundColour;
}

int openScreen()
{
    grSetMode(GR_SCREEN_WIDTH, GR_SCREEN_HEIGHT, 24);
    setUpColours(0);
    drawLayout();
    char title[sizeof settings.Title + 1];
    memcpy(title, settings.Title, sizeof settings.Title);
    title[sizeof settings.Title] = '\0';
    if (title[0]) grSetWindowTitle(title);
    return 0;
}

int closeScreen()
{
    grSetTextMode();
    return 0;
}

int drawLayout()
{
    grClearScreen(backgroundColour);
    for (const ScreenWindow &window : screenWindows)
        grBox(window.frame.left, window.frame.top, window.frame.right, window.frame.bottom, textColour);
    lastPictureName = nullptr;
    forgetScrollback();
    return 0;
}

int drawTextLine(const char *line, int length, int x)
{
    const ScreenWindow &window = screenWindows[currentWindow];
    const ScreenBox &box = window.text;
    int y;
    bool inMain = currentWindow == MAIN_WINDOW;
    if (outputFlags & SCROLL_UP) {
        if (inMain) keepScrolledLine();
        grBitBlt(box.left, box.top, box.left, box.top + LINE_HEIGHT, box.right, box.bottom);
    }
    if (outputFlags & BOTTOM_LINE) {
        y = box.bottom - LINE_HEIGHT;
        if (outputFlags & CLEAR_LINE)
            grFilledBox(box.left + x, y, box.right, box.bottom, backgroundColour);
    } else {
        y = box.top + lineOffset;
        if (y >= box.bottom) return 0;
    }
    if (inMain) markLineDrawn((y - box.top) / LINE_HEIGHT);
    // A cell may reach below the text box; it never covers the window's frame.
    grSetClipBox(window.frame.left + 1, window.frame.top + 1, window.frame.right - 1, window.frame.bottom - 1);
    grDrawString(line, length, box.left + x, y, &textOption);
    grResetClipBox();
    return x + GR_FONT_WIDTH * length;
}

// The layout of one text: the working buffer and the line being built.
struct Layout {
    char text[TEXT_BUFFER_SIZE];
    int length;
    int x;                // start offset of the line being built
    int result;           // the result of the last line drawn
    int limit;            // appended lines are drawn only while their cells end above it
};

// A line whose cells would reach past the layout's limit is not drawn; it
// still takes its place, so the rest of the text is dropped too.
static void drawLine(Layout &layout, int from, int to)
{
    bool appended = !(outputFlags & BOTTOM_LINE);
    int top = screenWindows[currentWindow].text.top + lineOffset;
    if (!appended || top + GR_FONT_HEIGHT <= layout.limit)
        layout.result = drawTextLine(layout.text + from, to > from ? to - from : 0, layout.x);
    else
        layout.result = 0;
    if (appended) lineOffset += LINE_HEIGHT;
    layout.x = 0;
}

// A text placed on the bottom line without scrolling is one line: it ends at
// its first backslash and is cut at the box's right edge, since every further
// line would be drawn over it.
static int drawSingleLine(Layout &layout, int width)
{
    if (layout.length == 0) return 0;
    int end = 0;
    while (end < layout.length && layout.text[end] != '\\') end++;
    int fits = width > 0 ? width / GR_FONT_WIDTH : 0;
    if (end > fits) end = fits;
    if (end == 0 && layout.text[0] != '\\') return 0;   // nothing of it fits
    drawLine(layout, 0, end);
    return layout.result;
}

static bool isBreak(char c)
{
    return c == ' ' || c == '\\' || c == '\0';
}

static int layOut(const char *text, int x0, int limit)
{
    const ScreenBox &box = screenWindows[currentWindow].text;
    if (outputFlags & CLEAR_WINDOW) {
        if (currentWindow == MAIN_WINDOW) keepClearedLines();
        grFilledBox(box.left, box.top, box.right, box.bottom, backgroundColour);
        lineOffset = 0;
    }
    if (!text) return 0;

    // Texts longer than the buffer after substitution are cut to what it holds.
    static Layout layout;
    substituteVariables(text, layout.text, sizeof layout.text);
    layout.text[sizeof layout.text - 1] = '\0';
    layout.length = (int)strlen(layout.text);
    layout.x = x0;
    layout.result = 0;
    layout.limit = limit;
    if ((outputFlags & BOTTOM_LINE) && !(outputFlags & SCROLL_UP))
        return drawSingleLine(layout, (box.right - box.left) - x0);

    int lineStart = 0;
    int lastBreak = 0;
    bool breakAtLastBreak = false;    // lastBreak holds a break character (not the buffer start)
    for (int p = 0; p <= layout.length; p++) {
        if (!isBreak(layout.text[p])) continue;
        int width = (box.right - box.left) - layout.x;
        // An over-long word loses its last characters until it fits.
        while ((p - lastBreak) * GR_FONT_WIDTH > width && p > lastBreak + (breakAtLastBreak ? 1 : 0)) {
            memmove(layout.text + p - 1, layout.text + p, (size_t)(layout.length - p + 1));
            layout.length--;
            p--;
        }
        if ((p - lineStart) * GR_FONT_WIDTH > width && breakAtLastBreak && lastBreak >= lineStart) {
            drawLine(layout, lineStart, lastBreak);
            lineStart = lastBreak + 1;
        }
        lastBreak = p;
        breakAtLastBreak = true;
        if (layout.text[p] == '\\') {
            drawLine(layout, lineStart, p);
            lineStart = p + 1;
        }
    }
    bool endsInBackslash = layout.length > 0 && layout.text[layout.length - 1] == '\\';
    if ((lineStart < layout.length || (endsInBackslash && lineStart == layout.length)) &&
        (box.top + lineOffset < box.bottom || (outputFlags & BOTTOM_LINE)))
        drawLine(layout, lineStart, layout.length);
    return layout.result;
}

int writeTextAt(const char *text, int x0)
{
    return layOut(text, x0, INT_MAX);
}

int writeTextAbove(const char *text, int limit)
{
    return layOut(text, 0, limit);
}

int writeText(const char *text)
{
    if ((outputFlags & TRANSCRIBED) || replyTranscribed) transcribeText(text);
    replyTranscribed = false;
    if (outputFlags & UNDRAWN) return 0;
    return writeTextAt(text, 0);
}
