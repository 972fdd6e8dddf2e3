// The window's texts and typed lines in the transcript. The window lays its
// texts out at its own width; the record keeps the console's 79 columns, so
// a session reads the same whichever program played it.
#include "frontend/graphic/graphic_transcript.h"

#include <cstring>

#include "core/driver/transcript.h"
#include "core/interpreter/listings.h"
#include "frontend/graphic/graphic_screen.h"

constexpr size_t LINE_WIDTH = 79;        // longest record line and longest word
constexpr size_t JOIN_LIMIT = 78;        // line length + word length may not pass it

struct RecordLine {
    char text[LINE_WIDTH + 1];           // a line and its line end
    size_t length;
};

static void recordLine(RecordLine &line)
{
    line.text[line.length++] = '\n';
    transcriptShown(line.text, line.length);
    line.length = 0;
}

void transcribeText(const char *text)
{
    if (!text || !transcriptActive())
        return;
    // The text as the window has it: substituted whole and cut to its buffer.
    static char expanded[TEXT_BUFFER_SIZE];
    substituteVariables(text, expanded, sizeof expanded);
    RecordLine line;
    line.length = 0;
    const char *cursor = expanded;
    for (;;) {
        const char *end = cursor + strcspn(cursor, " \\");
        size_t length = static_cast<size_t>(end - cursor);
        if (length > LINE_WIDTH)
            length = LINE_WIDTH;
        if (line.length + length > JOIN_LIMIT)
            recordLine(line);
        if (line.length > 0)
            line.text[line.length++] = ' ';
        memcpy(line.text + line.length, cursor, length);
        line.length += length;
        if (*end == '\\')
            recordLine(line);
        if (!*end)
            break;
        cursor = end + 1;
    }
    if (line.length > 0)
        recordLine(line);
}

// The keys are code page 437 bytes like the texts: converted as shown text,
// an accented letter becomes its UTF-8 form. The typed line's end flushes.
void transcribeTyped(const char *line)
{
    transcriptShownText(line);
    transcriptTyped("");
}
