// Location and inventory listings, variable substitution at output time and
// the console's code page 437 to ISO 8859-1 conversion.
#include "core/interpreter/listings.h"

#include <cstdio>
#include <cstring>

#include "core/database/game_database.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"

// One list line under construction. A line that would outgrow its buffer is
// written in pieces: the part built so far goes out with writeText and the
// line goes on in the emptied buffer, so nothing is lost or overrun.
struct ListLine {
    char text[LIST_BUFFER_SIZE];
    size_t length;
    int items;            // entries appended so far
};

static void flushLine(ListLine &line)
{
    if (line.length == 0)
        return;
    line.text[line.length] = '\0';
    writeText(line.text);
    line.length = 0;
}

static void appendBytes(ListLine &line, const char *text)
{
    for (; text && *text; text++) {
        if (line.length == LIST_BUFFER_SIZE - 1)
            flushLine(line);
        line.text[line.length++] = *text;
    }
}

// Appends one entry of a list (its separator, name and suffix); an entry
// that no longer fits starts a new piece rather than being split.
static void appendEntry(ListLine &line, const char *separator, const char *name, const char *suffix)
{
    size_t needed = strlen(separator) + (name ? strlen(name) : 0) + (suffix ? strlen(suffix) : 0);
    if (line.length + needed > LIST_BUFFER_SIZE - 1)
        flushLine(line);
    appendBytes(line, separator);
    appendBytes(line, name);
    appendBytes(line, suffix);
    line.items++;
}

// A system message as a text; an undefined one reads as empty.
static const char *systemText(int number)
{
    const char *text = textOf(systemMessages[number]);
    return text ? text : "";
}

static const char *directionText(int direction)
{
    const char *text = textOf(directions[direction - 1]);
    return text ? text : "";
}

void listLocation(int location)
{
    if (lastLocation < 0 || !locations[0].name)
        return;
    if (isDark(location)) {
        writeText(textOf(locations[0].description));
        return;
    }
    if (locationExists(location))
        writeText(textOf(locations[location].description));

    ListLine line;
    line.length = 0;
    line.items = 0;
    for (int object = 1; object <= lastObject; object++) {
        if (!objectExists(object) || objectLocation(object) != location)
            continue;
        if (line.items == 0) {
            appendBytes(line, systemText(MSG_YOU_SEE));
            appendEntry(line, " ", textOf(objects[object].name), nullptr);
        } else {
            appendEntry(line, ", ", textOf(objects[object].name), nullptr);
        }
    }
    if (line.items > 0) {
        appendBytes(line, ".");
        flushLine(line);
    }

    if (settings.ShowExits == 0)
        return;
    line.length = 0;
    line.items = 0;
    for (int direction = 1; direction <= DIRECTION_COUNT; direction++) {
        if (locationExit(location, direction) == 0)
            continue;
        if (line.items == 0) {
            appendBytes(line, systemText(MSG_EXITS));
            appendEntry(line, " ", directionText(direction), nullptr);
        } else {
            appendEntry(line, ", ", directionText(direction), nullptr);
        }
    }
    if (line.items > 0) {
        appendBytes(line, ".");
        flushLine(line);
    }
}

void listInventory()
{
    ListLine line;
    line.length = 0;
    line.items = 0;
    appendBytes(line, systemText(MSG_CARRYING));
    appendBytes(line, " ");
    for (int object = 1; object <= lastObject; object++) {
        if (!objectExists(object))
            continue;
        int16_t where = objectLocation(object);
        if (where != CARRIED && where != WORN)
            continue;
        appendEntry(line, line.items ? ", " : "", textOf(objects[object].name),
                    where == WORN ? systemText(MSG_WORN) : nullptr);
    }
    appendBytes(line, line.items ? "." : systemText(MSG_NOTHING_CARRIED));
    flushLine(line);
}

// A bounded output cursor: bytes past the last place are dropped, so the
// output is always a prefix of the full result.
struct Output {
    char *text;
    size_t size;
    size_t used;
};

static void put(Output &out, char c)
{
    if (out.used < out.size - 1)
        out.text[out.used++] = c;
}

void substituteVariables(const char *text, char *out, size_t outSize)
{
    if (outSize == 0)
        return;
    Output output = {out, outSize, 0};
    const char *c = text;
    while (c && *c) {
        if (*c != '%') {
            put(output, *c++);
            continue;
        }
        if (c[1] == '%') {
            put(output, '%');
            c += 2;
            continue;
        }
        const char *close = strchr(c + 1, '%');
        if (!close)
            break;   // a lone '%' drops itself and the rest
        char name[WORD_SIZE + 1];
        size_t nameLength = static_cast<size_t>(close - (c + 1));
        if (nameLength > WORD_SIZE)
            nameLength = WORD_SIZE;
        memcpy(name, c + 1, nameLength);
        name[nameLength] = '\0';
        int row = findVariable(name);
        char digits[8];
        snprintf(digits, sizeof digits, "%d", row > 0 ? vars[row].value : 0);
        for (const char *d = digits; *d; d++)
            put(output, *d);
        c = close + 1;
    }
    out[output.used] = '\0';
}

void convertToLatin1()
{
    static const unsigned char FROM[] = {0x85, 0x8A, 0x8D, 0x95, 0x97, 0x82, 0x87, 0xF8, 0x15, 0x9C};
    static const unsigned char TO[] = {0xE0, 0xE8, 0xEC, 0xF2, 0xF9, 0xE9, 0xE7, 0xB0, 0xA7, 0xA3};
    static_assert(sizeof FROM == sizeof TO);
    if (!arenaBase)
        return;
    for (char *byte = arenaBase; byte < arenaNext; byte++) {
        unsigned char value = static_cast<unsigned char>(*byte);
        for (size_t i = 0; i < sizeof FROM; i++) {
            if (value == FROM[i]) {
                *byte = static_cast<char>(TO[i]);
                break;
            }
        }
    }
}
