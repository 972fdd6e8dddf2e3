// The web front end's link to its page: the page's areas, what the front end
// asks of the page (its script, page.js, does the work) and the answers.
#pragma once

#include <cstddef>
#include <string>

// The areas of the page a text can go to. ORDER AREA: page.js's AREA_IDS.
enum PageArea {
    AREA_OUTPUT = 0,        // the running output: texts are appended
    AREA_HEADING = 1,       // the location's name: replaced
    AREA_STATUS = 2,        // the status line: replaced
    AREA_DESCRIPTION = 3,   // the description and lists: replaced
};

// What ended a wait for a command line.
enum InputEvent {
    INPUT_LINE = 0,         // the line was entered
    INPUT_PREVIOUS = 1,     // Up: the history's previous line is wanted
    INPUT_NEXT = 2,         // Down: the history's next line is wanted
};

// What pageReadKey returns besides a character's code point.
constexpr int KEY_TIME_UP = 0;       // the time ran out
constexpr int KEY_OTHER = -1;        // a key that types no character (an arrow, F1)
constexpr int KEY_ENTER = 13;
constexpr int KEY_ESCAPE = 27;

extern "C" {
// Colours as 0xRRGGBB; title in UTF-8 (empty: the page keeps its own).
void pageSetLook(int background, int foreground, const char *title);
// Puts a text into the input line (a line from the history).
void pageSetInput(const char *text);
}

// Appends (output) or replaces (the other areas) an area's text, in UTF-8.
// The output reaches the page when the program next waits or ends, or at
// pageFlush.
void pageWrite(int area, const char *text);
void pageFlush();
// The player's line as the output shows it after the prompt: seen, but not
// announced again to a screen reader.
void pageWriteEcho(const char *text);
void pageClear(int area);
// The session is over: the output is shown and the input line closed.
void pageEnd();

// One of the window's sixteen standard colours as 0xRRGGBB; an index
// outside the table reads as the fallback's colour.
int standardColour(int index, int fallback);

// The waits: the program is suspended until the page has the answer.
// Waits for the player's line after the prompt: at most limit characters,
// the line as UTF-8 into buffer (size bytes); returns an InputEvent.
int pageReadInput(const char *prompt, int limit, char *buffer, int size);
// Waits for a key (keys 1) and at most milliseconds (0: no limit); returns
// the key's code point, KEY_ENTER, KEY_ESCAPE, KEY_OTHER or KEY_TIME_UP.
int pageReadKey(int milliseconds, int keys);

// A game text (code page 437) as the page shows it: variables substituted,
// backslashes made line ends, in UTF-8.
std::string pageText(const char *text);

// Code page 437 bytes, as they are, in UTF-8.
std::string utf8FromCodePage437(const char *bytes, size_t length);

// The code page 437 byte of a Unicode character, 0 when it has none.
unsigned char codePage437Byte(int point);

// A line typed in the page (UTF-8) made into the games' character set, in
// place: each character becomes its code page 437 byte, one without a byte '?'.
void codePage437FromUtf8(char *line);
