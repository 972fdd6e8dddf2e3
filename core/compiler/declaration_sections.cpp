// Parsers of the declaration sections: each content line is stored into the
// game database; the result is 0, a warning number or an error number.
#include "core/compiler/declaration_sections.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/compiler/source_reader.h"
#include "core/compiler/source_words.h"
#include "core/database/game_database.h"
#include "core/database/text_compare.h"

// The entry whose text lines are being read, kept across headers and files.
static int currentShow = 0;         // 0 = none
static int currentLocation = -1;    // -1 = none (0 is a real location)
static int currentObject = 0;       // 0 = none
static bool showTextStarted = false;
static bool locationTextStarted = false;
static bool objectTextStarted = false;

void resetDeclarationState()
{
    currentShow = 0;
    currentLocation = -1;
    currentObject = 0;
    showTextStarted = locationTextStarted = objectTextStarted = false;
}

// Copies a line into a line buffer, cut to what the buffer holds.
static void copyLine(char (&buffer)[LINE_BUFFER_SIZE], const char *line)
{
    size_t length = strnlen(line, LINE_BUFFER_SIZE - 1);
    memcpy(buffer, line, length);
    buffer[length] = '\0';
}

// A numbered line's fields: a copy of the line after its '#', cut by nextField.
struct Fields {
    char text[LINE_BUFFER_SIZE];
    char *cursor;
};

static void splitFields(Fields &fields, const char *line)
{
    copyLine(fields.text, line + 1);
    fields.cursor = fields.text;
}

// A text line of a show, location or object: starts the entry's text, or
// continues it. When other texts were stored since the entry's text (its
// section was left and reopened), the continuation goes onto a fresh copy
// of the entry's text, so that no other entry's text is extended.
static void addTextLine(TextRef *text, bool *started, const char *line)
{
    if (!*started || *text == 0) {
        *text = appendText(line, false);
        *started = true;
        return;
    }
    if (isLastText(*text)) {
        appendText(line, true);
        return;
    }
    TextRef copy = appendText(textOf(*text), false);
    if (copy != 0 && appendText(line, true) != 0)
        *text = copy;
}

// Copies a text setting: at most keep characters, the rest of the field NUL.
static void setTextSetting(char *field, size_t size, size_t keep, const char *value)
{
    size_t length = strnlen(value, keep);
    memset(field, 0, size);
    memcpy(field, value, length);
}

// "[System]" keys in the order they are tried; indexed by SystemKey.
constexpr const char *SYSTEM_KEYS[] = {
    "Title=", "StartLocation=", "MaxItems=", "Boolean=", "Prompt=", "ShowExits=",
    "ImagePath=", "StatusLine=", "BgColor=", "FgColor=", "CharSet=",
};
static_assert(std::size(SYSTEM_KEYS) == SYSTEM_KEY_COUNT);

int parseSystemLine(const char *line, char *charSet)
{
    int key = 0;
    while (key < static_cast<int>(std::size(SYSTEM_KEYS)) && !startsWithIgnoreCase(line, SYSTEM_KEYS[key]))
        key++;
    if (key == static_cast<int>(std::size(SYSTEM_KEYS)))
        return 1;
    const char *value = line + strlen(SYSTEM_KEYS[key]);
    switch (key) {
    case KEY_TITLE:
        setTextSetting(settings.Title, sizeof settings.Title, sizeof settings.Title - 1, value);
        return 0;
    case KEY_START_LOCATION:
    case KEY_MAX_ITEMS: {
        int16_t number = static_cast<int16_t>(readNumber(value));
        if (number == 0)
            return 1;
        (key == KEY_START_LOCATION ? settings.StartLocation : settings.MaxItems) = number;
        return 0;
    }
    case KEY_BOOLEAN:
        if (value[0] == '\0' || value[1] == '\0')
            return 1;
        settings.YesLetter = value[0];
        settings.NoLetter = value[1];
        return 0;
    case KEY_PROMPT:
        setTextSetting(settings.Prompt, sizeof settings.Prompt, sizeof settings.Prompt - 1, value);
        return 0;
    case KEY_SHOW_EXITS:
        if (value[0] == '0' || value[0] == 'n')
            settings.ShowExits = 0;
        else if (value[0] == '1' || value[0] == 'y')
            settings.ShowExits = 1;
        else
            return 1;
        return 0;
    case KEY_IMAGE_PATH:
        setTextSetting(settings.ImagePath, sizeof settings.ImagePath, sizeof settings.ImagePath, value);
        return 0;
    case KEY_STATUS_LINE:
        setTextSetting(settings.StatusLine, sizeof settings.StatusLine, sizeof settings.StatusLine - 1, value);
        return 0;
    case KEY_BG_COLOR:
    case KEY_FG_COLOR: {
        int number = readNumber(value);
        if (number < 0 || number > 15)
            return 1;
        (key == KEY_BG_COLOR ? settings.BgColor : settings.FgColor) = static_cast<int16_t>(number);
        return 0;
    }
    case KEY_CHARSET:
        *charSet = value[0];
        return 0;
    }
    return 1;
}

// "#N,text" with N in 1..highest: the text after the first comma, or 0 when
// the line is no such line (*result then holds the warning).
static const char *numberedText(const char *line, int highest, int *number, int *result)
{
    *result = 1;
    if (line[0] != '#')
        return nullptr;
    *number = readNumber(line + 1);
    if (*number < 1 || *number > highest)
        return nullptr;
    const char *comma = strchr(line + 1, ',');
    if (!comma) {
        *result = 2;    // no text after the number
        return nullptr;
    }
    *result = 0;
    return comma + 1;
}

int parseSystemMessageLine(const char *line)
{
    int number, result;
    if (const char *text = numberedText(line, SYSTEM_MESSAGE_COUNT - 1, &number, &result))
        systemMessages[number] = appendText(text, false);
    return result;
}

int parseDirectionLine(const char *line)
{
    int number, result;
    if (const char *text = numberedText(line, DIRECTION_COUNT, &number, &result))
        directions[number - 1] = appendText(text, false);
    return result;
}

int parseMessageLine(const char *line)
{
    if (line[0] != '#') {
        appendText(line, true);
        return 0;
    }
    int number, result;
    if (const char *text = numberedText(line, MAX_ENTRY, &number, &result)) {
        if (growMessages(number))       // else the driver reports the memory
            messages[number] = appendText(text, false);
    }
    return result;
}

int parseShowLine(const char *line)
{
    if (line[0] != '#') {
        if (currentShow == 0)
            return 1;
        addTextLine(&shows[currentShow].text, &showTextStarted, line);
        return 0;
    }
    Fields fields;
    splitFields(fields, line);
    int number = readNumber(nextField(&fields.cursor));
    if (number < 1 || number > MAX_SHOW) {
        currentShow = 0;
        return 1;
    }
    if (!growShows(number)) {
        currentShow = 0;
        return 0;       // no memory: the driver reports it once the source is read
    }
    currentShow = number;
    showTextStarted = false;
    const char *picture = nextField(&fields.cursor);
    if (!picture)
        return 2;
    shows[number].picture = appendText(picture, false);
    return 0;
}

int parseLocationLine(const char *line)
{
    if (line[0] != '#') {
        if (currentLocation < 0)
            return 1;
        addTextLine(&locations[currentLocation].description, &locationTextStarted, line);
        return 0;
    }
    Fields fields;
    splitFields(fields, line);
    int number = readNumber(nextField(&fields.cursor));
    if (number < 0 || number > MAX_ENTRY) {
        currentLocation = -1;
        return 1;
    }
    if (!growLocations(number)) {
        currentLocation = -1;
        return 0;       // no memory: the driver reports it once the source is read
    }
    currentLocation = number;
    locationTextStarted = false;
    LocationRecord &row = locations[number];
    const char *name = nextField(&fields.cursor);
    if (!name)
        return 2;
    row.name = appendText(name, false);
    const char *picture = nextField(&fields.cursor);
    if (!picture)
        return 2;
    if (picture[0])
        row.picture = appendText(picture, false);
    const char *flags = nextField(&fields.cursor);
    if (!flags)
        return 2;
    row.flags = static_cast<int16_t>(readNumber(flags));
    for (int16_t &exit : row.exits) {
        const char *destination = nextField(&fields.cursor);
        if (!destination)
            break;
        exit = static_cast<int16_t>(readNumber(destination));
    }
    return 0;
}

int parseObjectLine(const char *line)
{
    if (line[0] != '#') {
        if (currentObject == 0)
            return 1;
        addTextLine(&objects[currentObject].description, &objectTextStarted, line);
        return 0;
    }
    Fields fields;
    splitFields(fields, line);
    int number = readNumber(nextField(&fields.cursor));
    if (number < 1 || number > MAX_ENTRY) {
        currentObject = 0;
        return 1;
    }
    if (!growObjects(number)) {
        currentObject = 0;
        return 0;       // no memory: the driver reports it once the source is read
    }
    currentObject = number;
    objectTextStarted = false;
    ObjectRecord &row = objects[number];
    const char *name = nextField(&fields.cursor);
    if (!name)
        return 2;
    row.name = appendText(name, false);
    const char *location = nextField(&fields.cursor);
    if (!location)
        return 2;
    row.initialLocation = static_cast<int16_t>(readNumber(location));
    const char *flags = nextField(&fields.cursor);
    if (!flags)
        return 2;
    row.flags = static_cast<int16_t>(readNumber(flags));
    const char *noun = nextField(&fields.cursor);
    if (!noun) {
        row.noun = static_cast<int16_t>(number);
        return 0;
    }
    int value = readNumber(noun);
    if (value == 0)
        value = findNoun(noun);
    row.noun = static_cast<int16_t>(value);
    return 0;
}

int parseWordLine(const char *line, WordTable table)
{
    if (line[0] != '#')
        return 1;
    Fields fields;
    splitFields(fields, line);
    int number = readNumber(nextField(&fields.cursor));
    if (number < 1 || number > MAX_ENTRY)
        return 1;
    WordRecord **rows = table == VERB_TABLE ? &verbs : &nouns;
    int16_t *count = table == VERB_TABLE ? &verbCount : &nounCount;
    const char *word = nextField(&fields.cursor);
    if (!word)
        return 2;
    for (; word; word = nextField(&fields.cursor)) {
        if (*count >= MAX_ROWS)
            return -1;
        WordRecord *row = appendWord(rows, count);
        if (!row)
            return 0;   // no memory: the driver reports it once the source is read
        copyWord(row->word, word);
        row->number = static_cast<int16_t>(number);
    }
    return 0;
}

int parseVarsLine(const char *line)
{
    char text[LINE_BUFFER_SIZE];
    copyLine(text, line);
    char *cursor = text;
    while (const char *name = nextField(&cursor)) {
        if (varCount >= MAX_ROWS)
            break;
        VarRecord *row = appendVar();
        if (!row)
            break;      // no memory: the driver reports it once the source is read
        copyWord(row->name, name);
    }
    return 0;
}
