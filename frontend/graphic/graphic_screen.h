// The graphical screen: colours, the four framed windows, the output state
// and the text layout that every output of the graphical front end goes through.
#pragma once

#include "frontend/graphic/library/graphics_library.h"

constexpr int LINE_HEIGHT = 16;
constexpr int TEXT_BUFFER_SIZE = 2048;    // one text after variable substitution, NUL included

// Window numbers.
constexpr int PICTURE_WINDOW = 0;
constexpr int HEADING_WINDOW = 1;
constexpr int DESCRIPTION_WINDOW = 2;
constexpr int MAIN_WINDOW = 3;
constexpr int WINDOW_COUNT = 4;

// Output flags: how the next text is placed, and whether writeText records it.
constexpr int CLEAR_LINE = 1;             // clear the bottom line from the start x on
constexpr int CLEAR_WINDOW = 2;           // clear the text box first, lineOffset = 0
constexpr int BOTTOM_LINE = 4;            // draw every line on the bottom line
constexpr int SCROLL_UP = 8;              // move the text box up one line first
constexpr int TRANSCRIBED = 16;           // writeText also writes the text to the transcript
constexpr int UNDRAWN = 32;               // writeText draws nothing (with TRANSCRIBED: the record only)

// A rectangle given by two included corners.
struct ScreenBox {
    int left;
    int top;
    int right;
    int bottom;
};

// The main window's text box, named apart for the tables sized by it.
constexpr ScreenBox MAIN_TEXT_BOX = {4, 324, 796, 596};

struct ScreenWindow {
    ScreenBox frame;                      // outline drawn by drawLayout
    ScreenBox text;                       // where text goes, 4 pixels inside
};

struct Rgb {
    int red;
    int green;
    int blue;
};

constexpr int STANDARD_COLOUR_COUNT = 16;
extern const Rgb standardColours[STANDARD_COLOUR_COUNT];
extern const ScreenWindow screenWindows[WINDOW_COUNT];

extern GrColor backgroundColour;          // standardColours[BgColor]
extern GrColor textColour;                // standardColours[FgColor]
extern GrTextOption textOption;           // textColour over backgroundColour

// Output state.
extern int currentWindow;
extern int outputFlags;
extern int lineOffset;                    // pixels from the text box top to the next line
// Set when a command has been read: the next text written, a debug reply
// drawn over the command line, goes to the transcript too.
extern bool replyTranscribed;

// Resets the colour allocation and allocates backgroundColour and textColour
// (true-colour mode first when trueColour is 1); updates textOption.
void setUpColours(int trueColour);

// Clears the screen to backgroundColour, draws the four frames, forgets the picture.
int drawLayout();

// Lays a text out in currentWindow by outputFlags from the x offset x0;
// returns the x offset after the last line drawn, 0 when none was.
int writeTextAt(const char *text, int x0);

// Lays a text out like writeTextAt from x offset 0, drawing appended lines
// only while their cells end at or above y = limit: the heading's name stops
// above the status line.
int writeTextAbove(const char *text, int limit);

// Draws one line of length bytes at x offset x; returns x + 8 * length, or 0
// when the line falls below the text box.
int drawTextLine(const char *line, int length, int x);

// The location panel: the name (or the dark location's) in the heading above
// the status line, the description and lists in their window, the picture;
// -1 when the location has no name.
int drawLocationPanel(int location);

// Writes a location's description and lists to the transcript as the console
// shows them, after a blank line; nothing is drawn.
void transcribeLocation(int location);
