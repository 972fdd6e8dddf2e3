// Console output: the byte writer for Latin-1 or UTF-8 terminals and
// writeText with its 79-column word wrap and backslash line breaks.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/driver/terminal_text.h"
#include "core/driver/transcript.h"
#include "core/interpreter/listings.h"
#include "frontend/console/console_io.h"
#include "frontend/frontend.h"

constexpr size_t LINE_WIDTH = 79;        // longest output line and longest word
constexpr size_t JOIN_LIMIT = 78;        // line length + word length may not pass it
constexpr size_t WORD_COPY_SIZE = 1024;  // words up to this size are copied on the stack

static bool lineOpen = false;            // the last byte written was not a line end
static FILE *output = nullptr;           // standard output unless a test runs
static int forcedUtf8 = -1;              // -1 as the locale says, else 0 or 1

bool consoleIsUtf8()
{
    return forcedUtf8 >= 0 ? forcedUtf8 == 1 : terminalIsUtf8();
}

void setConsoleOutput(FILE *out, int utf8)
{
    output = out;
    forcedUtf8 = utf8;
}

void consoleOutput(const char *bytes, size_t length)
{
    if (length == 0)
        return;
    writeTerminalBytes(output ? output : stdout, bytes, length, consoleIsUtf8());
    transcriptShown(bytes, length);
    lineOpen = bytes[length - 1] != '\n';
}

void consoleOutputText(const char *text)
{
    if (text)
        consoleOutput(text, strlen(text));
}

void finishOutputLine()
{
    if (lineOpen)
        consoleOutput("\n", 1);
    fflush(output ? output : stdout);
}

// The output line being filled, at most LINE_WIDTH characters.
struct OutputLine {
    char text[LINE_WIDTH + 1];
    size_t length;
};

static void emitLine(OutputLine &line)
{
    line.text[line.length++] = '\n';
    consoleOutput(line.text, line.length);
    line.length = 0;
}

// Substitutes variables in one word (the bytes from start, length long) and
// returns the result's length, cut to LINE_WIDTH.
static size_t substituteWord(const char *start, size_t length, char *out)
{
    char local[WORD_COPY_SIZE];
    char *copy = length < sizeof local ? local : static_cast<char *>(malloc(length + 1));
    if (!copy) {
        out[0] = '\0';
        return 0;
    }
    memcpy(copy, start, length);
    copy[length] = '\0';
    substituteVariables(copy, out, LINE_WIDTH + 1);
    if (copy != local)
        free(copy);
    return strlen(out);
}

int writeText(const char *text)
{
    if (!text)
        return 0;
    OutputLine line;
    line.length = 0;
    const char *cursor = text;
    for (;;) {
        const char *end = cursor;
        while (*end && *end != ' ' && *end != '\\')
            end++;
        char word[LINE_WIDTH + 1];
        size_t length = substituteWord(cursor, static_cast<size_t>(end - cursor), word);
        if (line.length + length > JOIN_LIMIT)
            emitLine(line);
        if (line.length > 0)
            line.text[line.length++] = ' ';
        memcpy(line.text + line.length, word, length);
        line.length += length;
        if (*end == '\\')
            emitLine(line);
        if (!*end)
            break;
        cursor = end + 1;
    }
    if (line.length > 0)
        emitLine(line);
    return 0;
}
