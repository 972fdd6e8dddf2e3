// The source writer: recovers a game source from the database as a compiled
// game file fills it. The source compiles back to the same compiled file:
// texts are written in the order the arena holds them (so that the arena
// image comes out the same), words and variables before everything that
// looks them up, and every rule line is checked by compiling it into the
// spare row of its table before it is written.
#include "core/compiler/source_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/compiler/rule_compiler.h"
#include "core/compiler/source_reader.h"
#include "core/compiler/source_words.h"
#include "core/database/game_database.h"
#include "core/database/name_index.h"
#include "core/database/rule_code.h"
#include "core/database/text_compare.h"

constexpr size_t TEXT_WIDTH = 78;       // a text line is broken at a blank before this
constexpr size_t LONGEST_PIECE = 480;   // a text line longer than this is a long line
constexpr size_t WORDS_WIDTH = 70;      // a word or variable line takes words up to this
constexpr int DEEPEST_INDENT = 20;      // block levels shown by indenting rule lines
constexpr size_t LINE_SIZE = 1024;      // a line that is not a text

// Stands for an operand left out, or makes a line with no slot: reads as the
// number 0, is no keyword and (checked) no name.
static const char *const FILLER = "-";

static FILE *output;
static int noteCount;
static Section sectionWritten;

// What the declaration parsers will hold when the source is read back.
static int currentShowEntry, currentLocationEntry, currentObjectEntry;
static bool showTextStarted, locationTextStarted, objectTextStarted;

// ---------------------------------------------------------------------------
// Lines and notes.

// Writes a line; a note is added as a comment after it (right after the text,
// so that it ends the text where the text ends; after a blank on rule lines).
static void writeLine(const char *text, const char *note = nullptr, bool blankBeforeNote = false)
{
    fputs(text, output);
    if (note) {
        fprintf(output, "%s| closest source: %s", blankBeforeNote ? " " : "", note);
        noteCount++;
    }
    fputc('\n', output);
}

// A note on a line of its own.
static void writeNote(const char *note)
{
    writeLine("", note);
}

static void enterSection(Section section, const char *header)
{
    if (sectionWritten == section)
        return;
    fprintf(output, "\n%s\n", header);
    sectionWritten = section;
}

// Bytes that no source line can carry in a text: they end or cut a line.
static bool lineByteAllowed(unsigned char c)
{
    return c != '\0' && c != '\n' && c != '\r' && c != '|';
}

// A text line of a declaration section may begin with this byte (it would
// otherwise be a numbered line, a header, a comment or an include).
static bool textLineStartAllowed(unsigned char c)
{
    return c != '#' && c != '[' && c != '|' && c != '@';
}

static bool blankOrTab(unsigned char c)
{
    return c == ' ' || c == '\t';
}

// Copies length bytes of text into out (size bytes), with every byte no line
// can carry made a blank; false when there was one.
static bool copyForLine(char *out, size_t size, const char *text, size_t length)
{
    bool clean = true;
    size_t n = length < size - 1 ? length : size - 1;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!lineByteAllowed(c)) {
            c = ' ';
            clean = false;
        }
        out[i] = static_cast<char>(c);
    }
    out[n] = '\0';
    return clean && n == length;
}

// A field of a numbered line: no byte a line cannot carry, and no comma.
static bool copyField(char *out, size_t size, const char *text)
{
    bool clean = copyForLine(out, size, text, strlen(text));
    for (char *c = out; *c; c++)
        if (*c == ',') {
            *c = ' ';
            clean = false;
        }
    return clean;
}

// ---------------------------------------------------------------------------
// Texts over several lines.

// Whether the reader takes a physical line of this text back as it stands:
// every piece it cuts a long line into must be a text line of its own.
static bool physicalLineReadBack(const char *line, size_t length)
{
    for (size_t cut = LINE_READ_LIMIT; cut <= length; cut += LINE_READ_LIMIT) {
        if (cut == length)
            return false;       // the marker of the last piece would stay in the text
        if (!textLineStartAllowed(static_cast<unsigned char>(line[cut])))
            return false;
        bool blank = true;
        for (size_t i = cut; i < length && i < cut + LINE_READ_LIMIT; i++)
            blank = blank && blankOrTab(static_cast<unsigned char>(line[i]));
        if (blank)
            return false;
    }
    return true;
}

// Whether a text line may be broken at the blank text[at]: the continuation
// puts the blank back, unless the piece before ends in a backslash or the
// split-line marker; the piece after must be able to begin a line.
static bool breaksAtBlank(const char *text, size_t from, size_t at, size_t length)
{
    if (text[at] != ' ' || at <= from || at + 1 >= length)
        return false;
    unsigned char before = static_cast<unsigned char>(text[at - 1]);
    unsigned char after = static_cast<unsigned char>(text[at + 1]);
    return before != '\\' && before != SPLIT_MARKER && !blankOrTab(after) && textLineStartAllowed(after);
}

// Whether a line ends after the backslashes that end at text[at - 1]: a
// line break of the text is a line break of the source.
static bool breaksAfterBackslash(const char *text, size_t from, size_t at, size_t length)
{
    if (at <= from || at >= length || text[at - 1] != '\\' || text[at] == '\\')
        return false;
    unsigned char after = static_cast<unsigned char>(text[at]);
    if (blankOrTab(after) || !textLineStartAllowed(after))
        return false;
    for (size_t i = from; i < at; i++)
        if (text[i] != '\\')
            return true;
    return false;   // nothing but backslashes: they stay with what follows
}

// Where the line that starts at text[from] ends, and where the next starts.
static void chooseBreak(const char *text, size_t from, size_t length, size_t width, size_t *end, size_t *next)
{
    size_t backslash = length;
    for (size_t i = from + 1; i < length; i++)
        if (breaksAfterBackslash(text, from, i, length)) {
            backslash = i;
            break;
        }
    if (backslash - from <= width) {
        *end = *next = backslash;
        return;
    }
    if (length - from <= width && backslash == length) {
        *end = *next = length;
        return;
    }
    size_t limit = from + width < length ? from + width : length;
    for (size_t i = limit; i > from; i--)
        if (breaksAtBlank(text, from, i, length)) {
            *end = i;
            *next = i + 1;
            return;
        }
    for (size_t i = limit; i < length && i < backslash; i++)
        if (breaksAtBlank(text, from, i, length)) {
            *end = i;
            *next = i + 1;
            return;
        }
    *end = *next = backslash;
}

// Writes a text over lines that the reader joins back into it: after prefix
// (the numbered line's start) or, without one, from a text line of its own.
static void writeText(const char *prefix, const char *text)
{
    size_t length = strlen(text);
    char *clean = static_cast<char *>(malloc(length + 2));
    char *line = static_cast<char *>(malloc(length + LINE_SIZE));
    if (!clean || !line) {
        free(clean);
        free(line);
        writeNote("a text is left out: no memory to write it");
        return;
    }
    const char *note = nullptr;
    if (!copyForLine(clean, length + 1, text, length))
        note = "the text holds a line end or '|', written as a blank";
    if (!prefix && (length == 0 || !textLineStartAllowed(static_cast<unsigned char>(clean[0])))) {
        memmove(clean + 1, clean, length + 1);
        clean[0] = ' ';
        length++;
        note = "the text begins where no text line can, written after a blank";
    }
    size_t from = 0;
    bool first = true;
    do {
        size_t lead = first && prefix ? strlen(prefix) : 0;
        size_t end = length, next = length;
        chooseBreak(clean, from, length, TEXT_WIDTH > lead ? TEXT_WIDTH - lead : 1, &end, &next);
        snprintf(line, length + LINE_SIZE, "%s%.*s", lead ? prefix : "", static_cast<int>(end - from), clean + from);
        size_t lineLength = strlen(line);
        if (lineLength > LONGEST_PIECE && !physicalLineReadBack(line, lineLength) && !note)
            note = "a line longer than the reader takes at once, cut where no text line can begin";
        bool blankLine = true;
        for (size_t i = 0; i < lineLength; i++)
            blankLine = blankLine && blankOrTab(static_cast<unsigned char>(line[i]));
        if (blankLine && !prefix && !note)
            note = "a text of blanks only, which the reader skips";
        writeLine(line, next >= length ? note : nullptr);
        first = false;
        from = next;
    } while (from < length);
    free(clean);
    free(line);
}

// A text of one line only ("[Sysmsg]", "[Directions]"): "#N,text".
static void writeOneLineText(int number, const char *text)
{
    char line[LINE_SIZE + 16];
    char clean[LINE_SIZE];
    bool whole = copyForLine(clean, sizeof clean, text, strlen(text));
    snprintf(line, sizeof line, "#%d,%s", number, clean);
    const char *note = nullptr;
    if (!whole)
        note = "the text holds a line end or '|', or is too long for one line";
    else if (strlen(line) >= LINE_READ_LIMIT)
        note = "the text is longer than one line holds";
    writeLine(line, note);
}

// ---------------------------------------------------------------------------
// "[System]".

// A text setting: the field up to its NUL, then nothing but NULs.
static void writeTextSetting(const char *key, const char *field, size_t size, size_t kept)
{
    size_t length = strnlen(field, size);
    char line[LINE_SIZE + 32];
    char clean[LINE_SIZE];
    bool whole = copyForLine(clean, sizeof clean, field, length);
    snprintf(line, sizeof line, "%s%s", key, clean);
    bool padded = true;
    for (size_t i = length; i < size; i++)
        padded = padded && field[i] == '\0';
    const char *note = nullptr;
    if (!whole)
        note = "the setting holds a line end or '|', written as a blank";
    else if (length > kept)
        note = "the setting is longer than a source can set";
    else if (!padded)
        note = "the bytes after the setting's end are not all 0";
    writeLine(line, note);
}

static void writeSettings()
{
    enterSection(SECTION_SYSTEM, "[System]");
    char line[LINE_SIZE];
    writeTextSetting(SYSTEM_KEYS[KEY_TITLE], settings.Title, sizeof settings.Title, sizeof settings.Title - 1);

    const int16_t nonZero[2] = {settings.StartLocation, settings.MaxItems};
    const SystemKey nonZeroKeys[2] = {KEY_START_LOCATION, KEY_MAX_ITEMS};
    for (int i = 0; i < 2; i++) {
        snprintf(line, sizeof line, "%s%d", SYSTEM_KEYS[nonZeroKeys[i]], nonZero[i] ? nonZero[i] : 1);
        writeLine(line, nonZero[i] ? nullptr : "the compiled file holds 0, which no source sets (the reset value is 1)");
    }

    char letters[2] = {settings.YesLetter, settings.NoLetter};
    bool lettersWritable = true;
    for (char &letter : letters)
        if (!lineByteAllowed(static_cast<unsigned char>(letter))) {
            letter = letter == '\0' ? '?' : ' ';
            lettersWritable = false;
        }
    snprintf(line, sizeof line, "%s%c%c", SYSTEM_KEYS[KEY_BOOLEAN], letters[0], letters[1]);
    writeLine(line, lettersWritable ? nullptr : "an answer letter that no source line can carry");

    writeTextSetting(SYSTEM_KEYS[KEY_PROMPT], settings.Prompt, sizeof settings.Prompt, sizeof settings.Prompt - 1);

    bool exitsWritable = settings.ShowExits == 0 || settings.ShowExits == 1;
    snprintf(line, sizeof line, "%s%d", SYSTEM_KEYS[KEY_SHOW_EXITS], settings.ShowExits == 0 ? 0 : 1);
    writeLine(line, exitsWritable ? nullptr : "a value other than 0 or 1, which no source sets");

    writeTextSetting(SYSTEM_KEYS[KEY_IMAGE_PATH], settings.ImagePath, sizeof settings.ImagePath,
                     sizeof settings.ImagePath);
    writeTextSetting(SYSTEM_KEYS[KEY_STATUS_LINE], settings.StatusLine, sizeof settings.StatusLine,
                     sizeof settings.StatusLine - 1);

    const int16_t colours[2] = {settings.BgColor, settings.FgColor};
    const SystemKey colourKeys[2] = {KEY_BG_COLOR, KEY_FG_COLOR};
    const int16_t colourDefaults[2] = {0, 15};
    for (int i = 0; i < 2; i++) {
        bool inRange = colours[i] >= 0 && colours[i] <= 15;
        snprintf(line, sizeof line, "%s%d", SYSTEM_KEYS[colourKeys[i]], inRange ? colours[i] : colourDefaults[i]);
        writeLine(line, inRange ? nullptr : "a colour outside 0 to 15, which no source sets");
    }
}

// ---------------------------------------------------------------------------
// Words and variables.

// A stored word or name as text: false when bytes follow its NUL.
static bool storedWord(char out[WORD_SIZE + 1], const char stored[WORD_SIZE])
{
    size_t length = strnlen(stored, WORD_SIZE);
    memcpy(out, stored, length);
    out[length] = '\0';
    for (size_t i = length; i < WORD_SIZE; i++)
        if (stored[i] != '\0')
            return false;
    return true;
}

static void writeWordTable(const WordRecord *table, int count, Section section, const char *header)
{
    if (count <= 0)
        return;
    enterSection(section, header);
    int row = 0;
    while (row < count) {
        int number = table[row].number;
        char line[LINE_SIZE];
        snprintf(line, sizeof line, "#%d", number);
        const char *note = nullptr;
        if (number < 1 || number > MAX_ENTRY)
            note = "a word number outside 1 to 32766, which no source declares";
        do {
            char word[WORD_SIZE + 1];
            char field[WORD_SIZE + 1];
            if (!storedWord(word, table[row].word) && !note)
                note = "a word with bytes after its end";
            if (!copyField(field, sizeof field, word) && !note)
                note = "a word holding a comma, a line end or '|', written as a blank";
            size_t used = strlen(line);
            snprintf(line + used, sizeof line - used, ",%s", field);
            row++;
        } while (row < count && table[row].number == number && strlen(line) < WORDS_WIDTH);
        if (number < 1 || number > MAX_ENTRY) {
            char comment[LINE_SIZE + 1];
            snprintf(comment, sizeof comment, "|%s", line);
            writeLine(comment, note);
        } else {
            writeLine(line, note);
        }
    }
}

// Whether a "[Vars]" line may begin with this name.
static bool varsLineStartAllowed(const char *name)
{
    unsigned char first = static_cast<unsigned char>(name[0]);
    if (first == '[' || first == '|' || first == '@')
        return false;
    for (const char *c = name; *c; c++)
        if (!blankOrTab(static_cast<unsigned char>(*c)))
            return true;
    return false;
}

static void writeVariables()
{
    if (varCount <= 0)
        return;
    enterSection(SECTION_VARS, "[Vars]");
    if (memcmp(vars[0].name, "^foobar^", WORD_SIZE) != 0 || vars[0].value != 0)
        writeNote("the placeholder row 0 of the variables is not the one every source makes");
    if (varCount == 1)
        writeNote("a variable table with its placeholder row only, which no source makes");
    char line[LINE_SIZE] = "";
    bool lineHasName = false;
    const char *note = nullptr;
    for (int row = 1; row < varCount; row++) {
        char name[WORD_SIZE + 1];
        char field[WORD_SIZE + 1];
        if (!storedWord(name, vars[row].name) && !note)
            note = "a variable name with bytes after its end";
        if (!copyField(field, sizeof field, name) && !note)
            note = "a variable name holding a comma, a line end or '|', written as a blank";
        if (vars[row].value != 0 && !note)
            note = "a variable whose stored value is not 0";
        if (lineHasName) {
            if (strlen(line) >= WORDS_WIDTH && varsLineStartAllowed(field)) {
                writeLine(line, note);
                note = nullptr;
                line[0] = '\0';
                lineHasName = false;
            } else {
                size_t used = strlen(line);
                snprintf(line + used, sizeof line - used, ",");
            }
        }
        if (!lineHasName && !varsLineStartAllowed(field) && !note)
            note = "a variable name that cannot begin a line";
        size_t used = strlen(line);
        snprintf(line + used, sizeof line - used, "%s", field);
        lineHasName = true;
    }
    if (lineHasName)
        writeLine(line, note);
}

// ---------------------------------------------------------------------------
// Texts in arena order.

enum TextOwner : uint8_t {
    OWNER_NONE, OWNER_SYSTEM_MESSAGE, OWNER_DIRECTION, OWNER_SHOW_PICTURE, OWNER_SHOW_TEXT,
    OWNER_LOCATION_NAME, OWNER_LOCATION_PICTURE, OWNER_LOCATION_DESCRIPTION, OWNER_OBJECT_NAME,
    OWNER_OBJECT_DESCRIPTION, OWNER_MESSAGE,
};

static uint8_t *ownerKinds;     // per arena offset: the owner of a text starting there
static int16_t *ownerEntries;   // its entry number
static bool *textsWritten;      // per arena offset: the text starting there is written
static uint32_t arenaLength;
static int sharedTexts;         // texts named by more than one field
static bool wordsWritten;

static void claimText(TextRef ref, TextOwner kind, int entry)
{
    if (ref == 0 || ref >= arenaLength)
        return;
    if (ownerKinds[ref] != OWNER_NONE) {
        sharedTexts++;
        return;
    }
    ownerKinds[ref] = kind;
    ownerEntries[ref] = static_cast<int16_t>(entry);
}

static void claimAllTexts()
{
    for (int n = 0; n < SYSTEM_MESSAGE_COUNT; n++)
        claimText(systemMessages[n], OWNER_SYSTEM_MESSAGE, n);
    for (int n = 0; n < DIRECTION_COUNT; n++)
        claimText(directions[n], OWNER_DIRECTION, n + 1);
    for (int n = 0; n <= lastShow; n++) {
        claimText(shows[n].picture, OWNER_SHOW_PICTURE, n);
        claimText(shows[n].text, OWNER_SHOW_TEXT, n);
    }
    for (int n = 0; n <= lastLocation; n++) {
        claimText(locations[n].name, OWNER_LOCATION_NAME, n);
        claimText(locations[n].picture, OWNER_LOCATION_PICTURE, n);
        claimText(locations[n].description, OWNER_LOCATION_DESCRIPTION, n);
    }
    for (int n = 0; n <= lastObject; n++) {
        claimText(objects[n].name, OWNER_OBJECT_NAME, n);
        claimText(objects[n].description, OWNER_OBJECT_DESCRIPTION, n);
    }
    for (int n = 0; n <= lastMessage; n++)
        claimText(messages[n], OWNER_MESSAGE, n);
}

// Words, nouns and variables come before the first text that may need them
// (objects name their nouns) and before the rules.
static void writeWordsOnce()
{
    if (wordsWritten)
        return;
    wordsWritten = true;
    writeWordTable(verbs, verbCount, SECTION_VERBS, "[Verbs]");
    writeWordTable(nouns, nounCount, SECTION_NOUNS, "[Nouns]");
    writeVariables();
}

static void writeShowPicture(int entry, TextRef picture)
{
    enterSection(SECTION_SHOWS, entry == 1 ? "[Intro]" : "[Shows]");
    char field[LINE_SIZE];
    char line[LINE_SIZE + 16];
    bool clean = copyField(field, sizeof field, textOf(picture));
    snprintf(line, sizeof line, "#%d,%s", entry, field);
    if (entry < 1 || entry > MAX_SHOW) {
        char comment[LINE_SIZE + 20];
        snprintf(comment, sizeof comment, "|%s", line);
        writeLine(comment, "a show number outside 1 to 32767");
        return;
    }
    const char *note = clean ? nullptr : "a picture name holding a comma, a line end or '|', written as a blank";
    writeLine(line, note);
    currentShowEntry = entry;
    showTextStarted = false;
}

// The text of a show, location or object: it starts the entry's text only
// when its numbered line is the last one read of its section.
static void writeEntryText(Section section, const char *header, int entry, int current, bool *started,
                           TextRef text)
{
    enterSection(section, header);
    if (current != entry || *started) {
        char note[160];
        snprintf(note, sizeof note, "the text of entry %d is stored where no source line can put it; left out",
                 entry);
        writeNote(note);
        return;
    }
    writeText(nullptr, textOf(text));
    *started = true;
}

// A location's run-time fields hold what growing the table gives them.
static bool locationRunTimeFresh(const LocationRecord &row)
{
    for (int16_t exit : row.currentExits)
        if (exit != UNCHANGED)
            return false;
    return row.currentLight == 1;
}

// (Padding bytes carry nothing: the compiled file is written with zeros there.)
static bool objectRunTimeFresh(const ObjectRecord &row)
{
    return row.currentLocation == UNCHANGED;
}

// "#N,name,picture,flags,exits": the picture text must follow the name's.
static void writeLocationLine(int entry, uint32_t nextText)
{
    enterSection(SECTION_LOCATIONS, "[Locations]");
    const LocationRecord &row = locations[entry];
    char name[LINE_SIZE], picture[LINE_SIZE] = "";
    const char *note = nullptr;
    if (!copyField(name, sizeof name, textOf(row.name)))
        note = "a name holding a comma, a line end or '|', written as a blank";
    if (row.picture != 0) {
        if (row.picture != nextText || nextText >= arenaLength)
            note = "the picture name is stored where no source line can put it; left out";
        else if (textOf(row.picture)[0] == '\0')
            note = "an empty picture name, which a source cannot give; left out";
        else if (!copyField(picture, sizeof picture, textOf(row.picture)) && !note)
            note = "a picture name holding a comma, a line end or '|', written as a blank";
        else
            textsWritten[row.picture] = true;
    }
    char line[3 * LINE_SIZE];
    snprintf(line, sizeof line, "#%d,%s,%s,%d", entry, name, picture, row.flags);
    int lastExit = DIRECTION_COUNT;
    while (lastExit > 0 && row.exits[lastExit - 1] == 0)
        lastExit--;
    for (int k = 0; k < lastExit; k++) {
        size_t used = strlen(line);
        snprintf(line + used, sizeof line - used, ",%d", row.exits[k]);
    }
    if (!note && entry > MAX_ENTRY)
        note = "a location number above 32766";
    if (!note && !locationRunTimeFresh(row))
        note = "the run-time exits or light hold values that compiling never stores";
    if (!note && strlen(line) >= LINE_READ_LIMIT)
        note = "the line is longer than the reader takes at once";
    writeLine(line, note);
    currentLocationEntry = entry;
    locationTextStarted = false;
}

// The noun field of an object line: a noun word that names the number,
// else the number, nothing when the noun is the object's own number.
static void nounField(char *out, size_t size, int entry, int noun, const char **note)
{
    out[0] = '\0';
    for (int row = 0; noun != 0 && row < nounCount; row++) {
        if (nouns[row].number != noun)
            continue;
        char word[WORD_SIZE + 1];
        char field[WORD_SIZE + 1];
        if (storedWord(word, nouns[row].word) && copyField(field, sizeof field, word) && word[0] != '\0' &&
            readNumber(word) == 0 && findNoun(word) == noun) {
            snprintf(out, size, ",%s", word);
            return;
        }
    }
    if (noun == entry)
        return;
    if (noun != 0) {
        snprintf(out, size, ",%d", noun);
        return;
    }
    // Noun 0: a field that reads as 0 and names no noun.
    const char *zeros[] = {"0", "00", "000"};
    for (const char *zero : zeros)
        if (findNoun(zero) == 0) {
            snprintf(out, size, ",%s", zero);
            return;
        }
    *note = "noun 0 where every spelling of 0 is a noun";
}

static void writeObjectLine(int entry)
{
    enterSection(SECTION_OBJECTS, "[Objects]");
    const ObjectRecord &row = objects[entry];
    char name[LINE_SIZE];
    const char *note = nullptr;
    if (!copyField(name, sizeof name, textOf(row.name)))
        note = "a name holding a comma, a line end or '|', written as a blank";
    char noun[WORD_SIZE + 16];
    nounField(noun, sizeof noun, entry, row.noun, &note);
    char line[2 * LINE_SIZE];
    snprintf(line, sizeof line, "#%d,%s,%d,%d%s", entry, name, row.initialLocation, row.flags, noun);
    bool numberAllowed = entry >= 1 && entry <= MAX_ENTRY;
    if (!note && !numberAllowed)
        note = "an object number outside 1 to 32766";
    if (!note && !objectRunTimeFresh(row))
        note = "the run-time location holds a value that compiling never stores";
    if (!note && strlen(line) >= LINE_READ_LIMIT)
        note = "the line is longer than the reader takes at once";
    if (!numberAllowed) {
        char comment[2 * LINE_SIZE + 1];
        snprintf(comment, sizeof comment, "|%s", line);
        writeLine(comment, note);
        return;
    }
    writeLine(line, note);
    currentObjectEntry = entry;
    objectTextStarted = false;
}

// A text that no field names any more (an entry defined again later): it is
// written as an earlier definition of a message, system message or direction
// whose own text comes later, so that it takes its place in the arena.
static void writeUnusedText(uint32_t offset)
{
    const char *text = arenaBase + offset;
    for (int n = 1; n <= lastMessage; n++)
        if (messages[n] > offset) {
            enterSection(SECTION_MESSAGES, "[Messages]");
            writeLine("| An earlier text of this message, which the game no longer uses.");
            char prefix[16];
            snprintf(prefix, sizeof prefix, "#%d,", n);
            writeText(prefix, text);
            return;
        }
    for (int n = 1; n < SYSTEM_MESSAGE_COUNT; n++)
        if (systemMessages[n] > offset) {
            enterSection(SECTION_SYSMSG, "[Sysmsg]");
            writeLine("| An earlier text of this message, which the game no longer uses.");
            writeOneLineText(n, text);
            return;
        }
    for (int n = 0; n < DIRECTION_COUNT; n++)
        if (directions[n] > offset) {
            enterSection(SECTION_DIRECTIONS, "[Directions]");
            writeLine("| An earlier name of this direction, which the game no longer uses.");
            writeOneLineText(n + 1, text);
            return;
        }
    writeNote("a text the game no longer uses is left out");
}

// Writes the text that starts at offset, with the numbered line that stores it.
static void writeArenaText(uint32_t offset, uint32_t nextText)
{
    int entry = ownerEntries[offset];
    TextRef ref = offset;
    switch (ownerKinds[offset]) {
    case OWNER_NONE:
        writeWordsOnce();
        writeUnusedText(offset);
        break;
    case OWNER_SYSTEM_MESSAGE:
        enterSection(SECTION_SYSMSG, "[Sysmsg]");
        if (entry == 0) {
            writeNote("system message 0, which no source declares, is left out");
            break;
        }
        writeOneLineText(entry, textOf(ref));
        break;
    case OWNER_DIRECTION:
        enterSection(SECTION_DIRECTIONS, "[Directions]");
        writeOneLineText(entry, textOf(ref));
        break;
    case OWNER_SHOW_PICTURE:
        writeWordsOnce();
        writeShowPicture(entry, ref);
        break;
    case OWNER_SHOW_TEXT:
        writeWordsOnce();
        writeEntryText(SECTION_SHOWS, "[Shows]", entry, currentShowEntry, &showTextStarted, ref);
        break;
    case OWNER_LOCATION_NAME:
        writeWordsOnce();
        writeLocationLine(entry, nextText);
        break;
    case OWNER_LOCATION_PICTURE:
        if (!textsWritten[offset]) {
            enterSection(SECTION_LOCATIONS, "[Locations]");
            char note[160];
            snprintf(note, sizeof note, "the picture name of location %d is stored apart from its name; left out",
                     entry);
            writeNote(note);
        }
        break;
    case OWNER_LOCATION_DESCRIPTION:
        writeWordsOnce();
        writeEntryText(SECTION_LOCATIONS, "[Locations]", entry, currentLocationEntry, &locationTextStarted, ref);
        break;
    case OWNER_OBJECT_NAME:
        writeWordsOnce();
        writeObjectLine(entry);
        break;
    case OWNER_OBJECT_DESCRIPTION:
        writeWordsOnce();
        writeEntryText(SECTION_OBJECTS, "[Objects]", entry, currentObjectEntry, &objectTextStarted, ref);
        break;
    case OWNER_MESSAGE: {
        writeWordsOnce();
        enterSection(SECTION_MESSAGES, "[Messages]");
        char prefix[16];
        snprintf(prefix, sizeof prefix, "#%d,", entry);
        if (entry == 0) {
            writeNote("message 0, which no source declares, is left out");
            break;
        }
        writeText(prefix, textOf(ref));
        break;
    }
    }
    textsWritten[offset] = true;
}

// Whether a field names a text that was not written where it starts.
static bool unwrittenText(TextRef ref)
{
    return ref != 0 && (ref >= arenaLength || !textsWritten[ref]);
}

// Notes fields whose texts are not where a text starts, and rows that hold
// something without the name or picture that defines them.
static void noteUnwrittenEntries()
{
    bool unwritten = false;
    for (TextRef ref : systemMessages)
        unwritten = unwritten || unwrittenText(ref);
    for (TextRef ref : directions)
        unwritten = unwritten || unwrittenText(ref);
    bool hollowRows = false;
    for (int n = 0; n <= lastShow; n++) {
        unwritten = unwritten || unwrittenText(shows[n].picture);
        unwritten = unwritten || unwrittenText(shows[n].text);
        hollowRows = hollowRows || (shows[n].picture == 0 && shows[n].text != 0);
    }
    for (int n = 0; n <= lastLocation; n++) {
        const LocationRecord &row = locations[n];
        unwritten = unwritten || unwrittenText(row.name);
        unwritten = unwritten || unwrittenText(row.picture);
        unwritten = unwritten || unwrittenText(row.description);
        bool empty = row.picture == 0 && row.description == 0 && row.flags == 0 && locationRunTimeFresh(row);
        for (int16_t exit : row.exits)
            empty = empty && exit == 0;
        hollowRows = hollowRows || (row.name == 0 && !empty);
    }
    for (int n = 0; n <= lastObject; n++) {
        const ObjectRecord &row = objects[n];
        unwritten = unwritten || unwrittenText(row.name);
        unwritten = unwritten || unwrittenText(row.description);
        bool empty = row.description == 0 && row.initialLocation == 0 && row.flags == 0 && row.noun == 0 &&
                     objectRunTimeFresh(row);
        hollowRows = hollowRows || (row.name == 0 && !empty);
    }
    for (int n = 0; n <= lastMessage; n++)
        unwritten = unwritten || unwrittenText(messages[n]);
    bool shortTables = (lastLocation >= 0 && locations[lastLocation].name == 0) ||
                       (lastObject >= 0 && objects[lastObject].name == 0) ||
                       (lastShow >= 0 && shows[lastShow].picture == 0) ||
                       (lastMessage >= 0 && messages[lastMessage] == 0);
    if (unwritten || hollowRows || shortTables || sharedTexts > 0) {
        fputc('\n', output);
        if (unwritten)
            writeNote("texts that the compiled file names where no text starts are left out");
        if (sharedTexts > 0)
            writeNote("texts that several entries share are written for the first of them only");
        if (hollowRows)
            writeNote("rows that hold values without the name or picture that a source gives them are left out");
        if (shortTables)
            writeNote("tables that end in rows no source line defines end at their last defined row");
    }
}

// Writes every text of the arena in its order, with the words before the
// first text that is no setting of one line.
static void writeArenaTexts()
{
    arenaLength = arenaUsed();
    ownerKinds = static_cast<uint8_t *>(calloc(arenaLength + 1, 1));
    ownerEntries = static_cast<int16_t *>(calloc(arenaLength + 1, sizeof(int16_t)));
    textsWritten = static_cast<bool *>(calloc(arenaLength + 1, sizeof(bool)));
    sharedTexts = 0;
    if (!ownerKinds || !ownerEntries || !textsWritten) {
        writeNote("the texts are left out: no memory to sort them");
    } else {
        claimAllTexts();
        if (arenaLength > 0 && arenaBase[0] != '\0')
            writeNote("the arena's first byte is not 0, as every compiled file has it");
        uint32_t offset = 1;
        while (offset < arenaLength) {
            size_t length = strnlen(arenaBase + offset, arenaLength - offset);
            if (offset + length >= arenaLength) {
                writeNote("the arena ends inside a text; that text is left out");
                break;
            }
            uint32_t next = offset + static_cast<uint32_t>(length) + 1;
            writeArenaText(offset, next);
            offset = next;
        }
        noteUnwrittenEntries();
    }
    writeWordsOnce();
    free(ownerKinds);
    free(ownerEntries);
    free(textsWritten);
    ownerKinds = nullptr;
    ownerEntries = nullptr;
    textsWritten = nullptr;
}

// ---------------------------------------------------------------------------
// Rules.

// How a rule line is written: names or numbers, operands left out shown by
// fillers, and slots that no word gives left out (the closest line).
enum LineStyle { STYLE_NAMES = 1, STYLE_FILLED = 2, STYLE_CLOSEST = 4 };

static const Keyword *keywordFor(int letter, int16_t second, bool conditions)
{
    const Keyword *table = conditions ? CONDITION_KEYWORDS : ACTION_KEYWORDS;
    int count = conditions ? CONDITION_KEYWORD_COUNT : ACTION_KEYWORD_COUNT;
    const Keyword *found = nullptr;
    for (int i = 0; i < count; i++)
        if (table[i].opcode == letter) {
            if (!found)
                found = &table[i];
            // "set" and "reset" share '=': "reset" when the value is 0.
            if (!conditions && letter == ACT_SET && second == 0 && table[i].secondOperand == 0)
                return &table[i];
        }
    return found;
}

// The name of row n of a word table as a rule can write it: the first row
// with that number whose word looks up to that number again.
static bool wordName(char out[WORD_SIZE + 1], bool ofNouns, int number)
{
    const WordRecord *table = ofNouns ? nouns : verbs;
    int count = ofNouns ? nounCount : verbCount;
    for (int row = 0; row < count; row++) {
        if (table[row].number != number)
            continue;
        if (storedWord(out, table[row].word) && out[0] != '\0' && !strpbrk(out, " \t|") && readNumber(out) == 0 &&
            !equalsIgnoreCase(out, "not") && (ofNouns ? findNoun(out) : findVerb(out)) == number)
            return true;
    }
    return false;
}

static bool variableName(char out[WORD_SIZE + 1], int number)
{
    if (number <= 0 || number >= varCount)
        return false;
    return storedWord(out, vars[number].name) && out[0] != '\0' && !strpbrk(out, " \t|") &&
           !equalsIgnoreCase(out, "not") && findVariable(out) == number;
}

// The word for a first operand: a name where the keyword looks names up.
static void firstOperandWord(char *out, size_t size, int letter, bool conditions, int value, int style)
{
    char name[WORD_SIZE + 1];
    if (style & STYLE_NAMES) {
        bool variables = conditions ? (letter == COND_EQ || letter == COND_GT || letter == COND_LT ||
                                       letter == COND_CONTINUED || letter == COND_NOUN2)
                                    : (letter == ACT_SET || letter == ACT_ADD || letter == ACT_SUB ||
                                       letter == ACT_MCHOICHE || letter == ACT_BCHOICHE);
        if (variables && variableName(name, value) && readNumber(name) == 0) {
            snprintf(out, size, "%s", name);
            return;
        }
        if (conditions && letter == COND_VERB && wordName(name, false, value)) {
            snprintf(out, size, "%s", name);
            return;
        }
        bool nounNamed = letter == COND_NOUN || letter == COND_NOUN2 || letter == COND_NOUN3 ||
                         letter == COND_ANYNOUN;
        if (conditions && nounNamed && wordName(name, true, value) &&
            (letter != COND_NOUN2 || findVariable(name) == 0)) {
            snprintf(out, size, "%s", name);
            return;
        }
    }
    snprintf(out, size, "%d", value);
}

static void appendWord(char *line, size_t size, const char *word)
{
    size_t used = strlen(line);
    snprintf(line + used, size - used, "%s%s", used && line[used - 1] != ' ' ? " " : "", word);
}

// The words of a record's slots; false when a slot holds what no word gives.
static bool slotWords(const RuleRecord &record, int style, char *line, size_t size)
{
    const bool conditions = record.kind != KIND_ACTION;
    int slot = 0;
    for (; slot < RULE_SLOTS && record.opcodes[slot] != KIND_UNUSED; slot++) {
        int opcode = record.opcodes[slot];
        bool negated = opcode < 0;
        int letter = negated ? -opcode : opcode;
        int16_t first = record.firstOperands[slot];
        int16_t second = record.secondOperands[slot];
        char name[WORD_SIZE + 1];
        const Keyword *keyword = keywordFor(letter, second, conditions);
        bool lone = letter == COND_GT && second == 0 && first > 0 && variableName(name, first) &&
                    ((style & STYLE_NAMES) || !keyword);
        if (negated)
            appendWord(line, size, "not");
        if (lone) {
            appendWord(line, size, name);
            continue;
        }
        if (!keyword) {
            if (!(style & STYLE_CLOSEST))
                return false;
            if (negated)
                line[strlen(line) - 3] = '\0';    // the "not" before it goes too
            continue;
        }
        appendWord(line, size, keyword->word);
        int words = 0;
        if (first != 0 || second != keyword->secondOperand) {
            char word[16];
            if (first != 0)
                firstOperandWord(word, sizeof word, letter, conditions, first, style);
            else
                snprintf(word, sizeof word, "%s", (style & STYLE_FILLED) ? FILLER : "0");
            appendWord(line, size, word);
            words++;
        }
        // A comparison shows the number it compares with, 0 included.
        bool comparison = conditions && (letter == COND_EQ || letter == COND_GT || letter == COND_LT);
        if (second != keyword->secondOperand || (comparison && first != 0)) {
            char word[16];
            snprintf(word, sizeof word, "%d", second);
            appendWord(line, size, word);
            words++;
        }
        for (; (style & STYLE_FILLED) && words < 2 && slot + 1 < RULE_SLOTS &&
               record.opcodes[slot + 1] != KIND_UNUSED; words++)
            appendWord(line, size, FILLER);
    }
    for (int rest = slot; rest < RULE_SLOTS && !(style & STYLE_CLOSEST); rest++)
        if (record.opcodes[rest] != KIND_UNUSED || record.firstOperands[rest] != 0 ||
            record.secondOperands[rest] != 0)
            return false;
    return true;
}

static const char *blockWord(char kind)
{
    switch (kind) {
    case KIND_BEGIN: return "begin";
    case KIND_FBEGIN: return "fbegin";
    case KIND_SBEGIN: return "sbegin";
    case KIND_END: return "end";
    default: return nullptr;
    }
}

static const char *leadingWord(char kind)
{
    switch (kind) {
    case KIND_IF: return "if ";
    case KIND_OR: return "or ";
    case KIND_AND: return "and ";
    case KIND_WHILE: return "while ";
    default: return nullptr;
    }
}

// Whether the line compiles to the record: it is compiled into the spare row
// of its table, compared and taken back.
static bool compilesTo(const char *text, const RuleRecord &record, RuleTable table)
{
    char line[LINE_BUFFER_SIZE];
    size_t length = strlen(text);
    if (length >= LINE_READ_LIMIT - 1)
        return false;
    for (size_t i = 0; i < length; i++)
        if (!lineByteAllowed(static_cast<unsigned char>(text[i])))
            return false;
    if (text[0] == '[' || text[0] == '|' || text[0] == '@')
        return false;
    memcpy(line, text, length + 1);
    int16_t *count = table == EVENT_TABLE ? &eventCount : &actionCount;
    int16_t before = *count;
    if (before >= MAX_ROWS)
        return true;    // no spare row to compile into: the line is taken as built
    compileRuleLine(line, table);
    if (*count != before + 1) {
        *count = before;
        return false;
    }
    const RuleRecord &made = (table == EVENT_TABLE ? events : actions)[before];
    bool same = made.kind == record.kind && memcmp(made.opcodes, record.opcodes, sizeof made.opcodes) == 0 &&
                memcmp(made.firstOperands, record.firstOperands, sizeof made.firstOperands) == 0 &&
                memcmp(made.secondOperands, record.secondOperands, sizeof made.secondOperands) == 0;
    *count = before;
    return same;
}

// Builds the line of a record in a style; false when no line of it can be.
static bool ruleLine(const RuleRecord &record, const char *lead, int style, const char *indent, char *line,
                     size_t size)
{
    snprintf(line, size, "%s%s", indent, lead);
    if (blockWord(record.kind)) {
        appendWord(line, size, blockWord(record.kind));
        for (int slot = 0; slot < RULE_SLOTS && !(style & STYLE_CLOSEST); slot++)
            if (record.opcodes[slot] != KIND_UNUSED || record.firstOperands[slot] != 0 ||
                record.secondOperands[slot] != 0)
                return false;
        return true;
    }
    size_t start = strlen(line);
    if (!slotWords(record, style, line, size))
        return false;
    if (strlen(line) == start) {
        // A record without a slot: a word that is nothing.
        const char *nothing = (style & STYLE_FILLED) ? FILLER : "nothing";
        appendWord(line, size, nothing);
    }
    return true;
}

static void writeRuleTable(RuleTable table)
{
    int count = table == EVENT_TABLE ? eventCount : actionCount;
    if (count <= 0)
        return;
    enterSection(table == EVENT_TABLE ? SECTION_EVENTS : SECTION_ACTIONS,
                 table == EVENT_TABLE ? "[Events]" : "[Actions]");
    int depth = 0;
    char previousKind = 0;
    for (int i = 0; i < count; i++) {
        const RuleRecord record = (table == EVENT_TABLE ? events : actions)[i];
        if (record.kind == KIND_END && depth > 0)
            depth--;
        char indent[2 * DEEPEST_INDENT + 1];
        int shown = depth < DEEPEST_INDENT ? depth : DEEPEST_INDENT;
        memset(indent, ' ', 2 * shown);
        indent[2 * shown] = '\0';

        const char *lead = leadingWord(record.kind);
        const char *actionLead = previousKind == KIND_WHILE ? "do "
                                 : (previousKind == KIND_IF || previousKind == KIND_OR || previousKind == KIND_AND)
                                     ? "then "
                                     : "";
        bool known = lead || blockWord(record.kind) || record.kind == KIND_ACTION;
        const char *note = nullptr;
        char line[LINE_SIZE];
        bool found = false;
        if (known) {
            // Names first, then fillers against words taken for operands,
            // then numbers; an action line after that also led by "do".
            const int styles[] = {STYLE_NAMES, STYLE_NAMES | STYLE_FILLED, 0, STYLE_FILLED};
            int attempts = record.kind == KIND_ACTION ? 8 : 4;
            for (int attempt = 0; attempt < attempts && !found; attempt++) {
                const char *thisLead = lead ? lead : blockWord(record.kind) ? "" : attempt < 4 ? actionLead : "do ";
                found = ruleLine(record, thisLead, styles[attempt % 4], indent, line, sizeof line) &&
                        compilesTo(line, record, table);
            }
        }
        if (!found) {
            // The closest line: the slots a word gives, as a condition line
            // when the kind is none a line gives.
            RuleRecord shownRecord = record;
            if (!known)
                shownRecord.kind = KIND_IF;
            const char *thisLead = lead ? lead : blockWord(shownRecord.kind) ? "" : actionLead;
            if (!known)
                thisLead = "if ";
            ruleLine(shownRecord, thisLead, STYLE_NAMES | STYLE_CLOSEST, indent, line, sizeof line);
            note = known ? "the record holds slots or operands that no rule line gives"
                         : "a record kind that no rule line gives, written as a condition line";
        }
        writeLine(line, note, true);
        if (record.kind == KIND_BEGIN || record.kind == KIND_FBEGIN || record.kind == KIND_SBEGIN)
            depth++;
        previousKind = record.kind;
    }
}

// ---------------------------------------------------------------------------

int writeRecoveredSource(FILE *out)
{
    output = out;
    noteCount = 0;
    sectionWritten = SECTION_NONE;
    currentShowEntry = 0;
    currentLocationEntry = -1;
    currentObjectEntry = 0;
    showTextStarted = locationTextStarted = objectTextStarted = false;
    wordsWritten = false;

    // The names are looked up for every operand and every line checked: the
    // index spares the scans of the tables (which are not changed here).
    bool indexing = nameIndexing();
    setNameIndexing(true);
    fputs("| Recovered from the compiled game with --decompile.\n", output);
    writeSettings();
    writeArenaTexts();
    writeRuleTable(EVENT_TABLE);
    writeRuleTable(ACTION_TABLE);
    setNameIndexing(indexing);
    fflush(output);
    return noteCount;
}
