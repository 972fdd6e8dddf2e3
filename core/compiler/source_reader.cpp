// The source reader: reads a game source line by line, undoes scrambling,
// drops comments, converts accented letters, follows includes, tracks the
// section and hands content lines to the section parsers.
#include "core/compiler/source_reader.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/compiler/checker.h"
#include "core/compiler/declaration_sections.h"
#include "core/compiler/rule_compiler.h"
#include "core/compiler/source_words.h"
#include "core/database/file_access.h"
#include "core/database/game_database.h"
#include "core/database/name_index.h"
#include "core/database/text_compare.h"
#include "core/driver/terminal_text.h"

// Section headers in the order they are tried.
constexpr Header HEADERS[] = {
    {"[System]", SECTION_SYSTEM},
    {"[Sysmsg]", SECTION_SYSMSG},
    {"[Directions]", SECTION_DIRECTIONS},
    {"[Intro]", SECTION_SHOWS},
    {"[Shows]", SECTION_SHOWS},
    {"[Locations]", SECTION_LOCATIONS},
    {"[Objects]", SECTION_OBJECTS},
    {"[Messages]", SECTION_MESSAGES},
    {"[Verbs]", SECTION_VERBS},
    {"[Nouns]", SECTION_NOUNS},
    {"[Vars]", SECTION_VARS},
    {"[Events]", SECTION_EVENTS},
    {"[Actions]", SECTION_ACTIONS},
};
static_assert(std::size(HEADERS) == HEADER_COUNT);

struct CharConversion {
    unsigned char from;     // Windows Latin-1
    unsigned char to;       // DOS code page 437
};

// The ten letters converted while the CharSet letter is 'w'.
static const CharConversion CHARSET_TABLE[] = {
    {0xE0, 0x85}, {0xE8, 0x8A}, {0xEC, 0x8D}, {0xF2, 0x95}, {0xF9, 0x97},
    {0xE9, 0x82}, {0xE7, 0x87}, {0xB0, 0xF8}, {0xA7, 0x15}, {0xA3, 0x9C},
};
static_assert(std::size(CHARSET_TABLE) == 10);

static const char SCRAMBLE_MARKER[] = "\x15" "crypt" "\x15";

// Reader state of one file; an included file gets its own.
struct ReaderState {
    char line[LINE_BUFFER_SIZE];
    int lineNumber;         // 0 before the first counted line
    bool scrambled;
    Section section;
    char charSet;           // 'w' = convert Latin-1 letters
    int outcome;            // 0 clean, 1 warnings, -1 errors
};

static int openSourceFiles = 0;     // nesting of readSourceFile calls
static int includedFiles = 0;       // includes followed since the game's own file was opened

int error(const char *line, int code, int lineNumber, const char *fileName)
{
    if (code == 0)
        return 0;
    if (code < 0)
        printf("Error %d ", -code);
    else
        printf("Warning %d ", code);
    // The file name and the line come from the source: written so that no
    // byte of them can act as a terminal control.
    printf("at line %d in file ", lineNumber);
    writeTerminalText(stdout, fileName);
    fputs(":\n", stdout);
    writeTerminalText(stdout, line);
    fputc('\n', stdout);
    return 0;
}

char *nextField(char **cursor)
{
    if (!cursor || !*cursor)
        return nullptr;
    char *field = *cursor;
    char *comma = strchr(field, ',');
    if (comma) {
        *comma = '\0';
        *cursor = comma + 1;
    } else {
        *cursor = nullptr;
    }
    return field;
}

int readNumber(const char *text)
{
    while (*text == ' ' || *text == '\t')
        text++;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > INT_MAX)
            value = INT_MAX + 1LL;  // keeps growing digits from overflowing
    }
    if (negative)
        return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// A source file's bytes, read in chunks of 64 KiB: a large source takes a
// few calls to read rather than one for each 4 KiB.
constexpr size_t INPUT_CHUNK = 65536;

struct SourceInput {
    FILE *file;
    char *chunk;            // INPUT_CHUNK bytes, or the fallback when memory is short
    size_t size;            // bytes chunk holds
    size_t next, end;       // unread bytes: chunk[next..end-1]
    bool errorPending;      // the last read failed after the bytes it gave
    bool failed;            // reading failed: no bytes after those given
    char fallback[64];
};

static void openInput(SourceInput &input, FILE *file)
{
    memset(&input, 0, sizeof input);
    input.file = file;
    input.chunk = static_cast<char *>(malloc(INPUT_CHUNK));
    input.size = INPUT_CHUNK;
    if (!input.chunk) {
        input.chunk = input.fallback;
        input.size = sizeof input.fallback;
    }
}

static void closeInput(SourceInput &input)
{
    if (input.chunk != input.fallback)
        free(input.chunk);
}

// Reads the next chunk; false at end of file or when reading failed.
static bool refill(SourceInput &input)
{
    input.next = input.end = 0;
    if (input.errorPending) {
        input.failed = true;
        return false;
    }
    input.end = fread(input.chunk, 1, input.size, input.file);
    if (ferror(input.file))
        input.errorPending = true;
    if (input.end == 0 && input.errorPending)
        input.failed = true;
    return input.end > 0;
}

// Reads one piece of a line: at most LINE_READ_LIMIT characters, or up to and
// including the newline. A piece that fills the limit ends in SPLIT_MARKER.
// PIECE_READ, PIECE_END at end of file, PIECE_FAILED when reading failed
// (the line then holds what was read of it).
enum PieceResult { PIECE_READ, PIECE_END, PIECE_FAILED };

static PieceResult readPiece(SourceInput &input, char *line, long *bytesRead)
{
    size_t length = 0;
    bool newline = false;
    while (length < LINE_READ_LIMIT && !newline) {
        if (input.next == input.end && !refill(input))
            break;
        const char *from = input.chunk + input.next;
        size_t take = std::min(input.end - input.next, LINE_READ_LIMIT - length);
        if (const char *lineEnd = static_cast<const char *>(memchr(from, '\n', take))) {
            take = static_cast<size_t>(lineEnd - from) + 1;
            newline = true;
        }
        memcpy(line + length, from, take);
        length += take;
        input.next += take;
    }
    *bytesRead += static_cast<long>(length);
    bool failed = input.failed || *bytesRead > MAX_SOURCE_BYTES;
    if (length == 0 && !failed)
        return PIECE_END;
    if (length < LINE_READ_LIMIT)
        line[length] = '\0';
    line[LINE_READ_LIMIT] = static_cast<char>(SPLIT_MARKER);
    line[LINE_READ_LIMIT + 1] = '\0';
    return failed ? PIECE_FAILED : PIECE_READ;
}

static void rot13(char *line)
{
    for (char *c = line; *c; c++) {
        if ((*c >= 'A' && *c <= 'M') || (*c >= 'a' && *c <= 'm'))
            *c = static_cast<char>(*c + 13);
        else if ((*c >= 'N' && *c <= 'Z') || (*c >= 'n' && *c <= 'z'))
            *c = static_cast<char>(*c - 13);
    }
}

static void convertCharSet(char *line)
{
    for (char *c = line; *c; c++)
        for (const CharConversion &conversion : CHARSET_TABLE)
            if (static_cast<unsigned char>(*c) == conversion.from) {
                *c = static_cast<char>(conversion.to);
                break;
            }
}

static bool isBlankLine(const char *line)
{
    for (; *line; line++)
        if (*line != ' ' && *line != '\t')
            return false;
    return true;
}

static void foldOutcome(ReaderState &state, int result)
{
    if (result < 0)
        state.outcome = -1;
    else if (result > 0 && state.outcome != -1)
        state.outcome = 1;
}

// Reads the file named by an include line; -3 when it cannot be opened (or
// the nesting is already at its limit), else the included file's outcome.
static int readIncludedFile(const char *name)
{
    // A file that includes itself twice would be read 2^15 times: the
    // includes followed in all are bounded as well as their nesting.
    if (openSourceFiles >= MAX_SOURCE_FILES || includedFiles >= MAX_INCLUDED_FILES)
        return -3;
    // Only a regular file: a folder, device or FIFO would never end or block.
    FILE *file = openRegularFile(name);
    if (!file)
        return -3;
    includedFiles++;
    int outcome = readSourceFile(file, name);
    fclose(file);
    return outcome;
}

static int parseContentLine(ReaderState &state)
{
    char *line = state.line;
    switch (state.section) {
    case SECTION_SYSTEM: return parseSystemLine(line, &state.charSet);
    case SECTION_SYSMSG: return parseSystemMessageLine(line);
    case SECTION_DIRECTIONS: return parseDirectionLine(line);
    case SECTION_SHOWS: return parseShowLine(line);
    case SECTION_LOCATIONS: return parseLocationLine(line);
    case SECTION_OBJECTS: return parseObjectLine(line);
    case SECTION_MESSAGES: return parseMessageLine(line);
    case SECTION_VERBS: return parseWordLine(line, VERB_TABLE);
    case SECTION_NOUNS: return parseWordLine(line, NOUN_TABLE);
    case SECTION_VARS: return parseVarsLine(line);
    case SECTION_EVENTS: return compileRuleLine(line, EVENT_TABLE);
    case SECTION_ACTIONS: return compileRuleLine(line, ACTION_TABLE);
    case SECTION_NONE: break;
    }
    return 1;   // a content line before the file's first header
}

// A parser's or include's result: the two-line message, or in a check a
// finding in words.
static void report(const ReaderState &state, const char *line, int result, const char *fileName)
{
    if (result == 0)
        return;
    if (checkMode)
        checkCompilerMessage(state.section, result, line);
    else
        error(line, result, state.lineNumber, fileName);
}

// Handles one counted, descrambled line.
static void processLine(ReaderState &state, const char *fileName)
{
    char *line = state.line;
    if (line[0] == '|')
        return;
    line[strcspn(line, "\n\r|")] = '\0';
    if (state.charSet == 'w')
        convertCharSet(line);

    if (line[0] == '@') {
        // The include line is reported after the included file's findings.
        SourcePlace includePlace = currentPlace();
        int result = readIncludedFile(line + 1);
        setCurrentPlace({currentPlace().sequence, includePlace.file, includePlace.line});
        report(state, line, result, fileName);
        foldOutcome(state, result);
        return;
    }
    if (isBlankLine(line))
        return;
    if (line[0] == '[')     // every header starts with it
        for (const Header &header : HEADERS)
            if (startsWithIgnoreCase(line, header.text)) {
                state.section = header.section;
                return;
            }
    int result = line[0] == '[' ? -1 : parseContentLine(state);
    report(state, line, result, fileName);
    if (checkMode && result >= 0)
        checkDeclaration(state.section, line);
    foldOutcome(state, result);
}

int readSourceFile(FILE *file, const char *fileName)
{
    ReaderState state;
    memset(&state, 0, sizeof state);
    state.section = SECTION_NONE;
    state.charSet = ' ';
    // The source names its words and variables again and again: while it is
    // read, look-ups go through an index of the tables (first row still wins).
    if (openSourceFiles == 0) {
        setNameIndexing(true);
        includedFiles = 0;
    }
    openSourceFiles++;
    int16_t fileIndex = checkMode ? checkFileOpened(fileName) : -1;     // for the checker's places
    long bytesRead = 0;
    SourceInput input;
    openInput(input, file);
    for (;;) {
        PieceResult piece = readPiece(input, state.line, &bytesRead);
        if (piece == PIECE_END)
            break;
        if (piece == PIECE_FAILED) {
            // A file that cannot be read to its end is not taken for a shorter
            // one: the line where reading failed gets Error 3.
            state.line[strcspn(state.line, "\n\r")] = '\0';
            int line = state.lineNumber < INT_MAX ? state.lineNumber + 1 : INT_MAX;
            if (checkMode) {
                checkLineRead(fileIndex, line, "");
                addLineFinding(SEVERITY_ERROR, "error 3: the file cannot be read beyond this line");
            } else {
                error(state.line, -3, line, fileName);
            }
            state.outcome = -1;
            break;
        }
        if (state.lineNumber == 0 && startsWithIgnoreCase(state.line, SCRAMBLE_MARKER)) {
            state.scrambled = true;
            continue;
        }
        if (state.lineNumber < INT_MAX)
            state.lineNumber++;
        if (state.scrambled)
            rot13(state.line);
        if (checkMode)
            checkLineRead(fileIndex, state.lineNumber, state.line);
        processLine(state, fileName);
    }
    closeInput(input);
    openSourceFiles--;
    if (openSourceFiles == 0) {
        setNameIndexing(false);
        fitTables();    // the room the tables grew into is not needed in play
    }
    return state.outcome;
}
