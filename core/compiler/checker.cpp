// The author's checker: collects findings while the source is read, adds the
// findings about the game as a whole, and prints them all in reading order.
#include "core/compiler/checker.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/compiler/rule_compiler.h"
#include "core/compiler/source_reader.h"
#include "core/compiler/source_words.h"
#include "core/database/game_database.h"
#include "core/database/rule_code.h"
#include "core/database/text_compare.h"
#include "core/driver/terminal_text.h"

bool checkMode = false;

constexpr int FINDING_TEXT_SIZE = 300;
constexpr int MAX_FILES = MAX_INCLUDED_FILES + 1;
constexpr int ENTRY_SLOTS = MAX_SHOW + 1;       // every location, object, message or show number

struct Finding {
    SourcePlace place;
    int order;                  // order of adding, to keep equal places stable
    Severity severity;
    size_t text;                // offset of its NUL-terminated text in findingTexts
};

static Finding *findings = nullptr;
static int findingCount = 0;
static int findingCapacity = 0;
static char *findingTexts = nullptr;       // the texts, one after the other
static size_t findingTextsUsed = 0;
static size_t findingTextsCapacity = 0;

static char *fileNames[MAX_FILES];
static int fileCount = 0;
static bool fileHasUtf8[MAX_FILES];

static SourcePlace current = {0, -1, 0};
static int sequence = 0;

// Where each location, object, message and show was declared, and the
// StartLocation line; each table grows to the highest number declared.
static SourcePlace *entryPlaces[4] = {};
static int entryCapacity[4] = {};
enum EntryKind { ENTRY_LOCATION, ENTRY_OBJECT, ENTRY_MESSAGE, ENTRY_SHOW };
static SourcePlace startLocationPlace = {0, -1, 0};
static SourcePlace systemMessagePlaces[SYSTEM_MESSAGE_COUNT];

static const SourcePlace GAME_PLACE = {INT_MAX, -1, 0};
static char mainFileName[512];             // named by findings about the whole game

// Frees what a check holds, so that nothing stays allocated between checks.
static void releaseCheck()
{
    free(findings);
    findings = nullptr;
    findingCount = findingCapacity = 0;
    free(findingTexts);
    findingTexts = nullptr;
    findingTextsUsed = findingTextsCapacity = 0;
    for (int i = 0; i < fileCount; i++)
        free(fileNames[i]);
    fileCount = 0;
    for (int kind = 0; kind < 4; kind++) {
        free(entryPlaces[kind]);
        entryPlaces[kind] = nullptr;
        entryCapacity[kind] = 0;
    }
}

void beginCheck(const char *fileName)
{
    releaseCheck();
    sequence = 0;
    current = {0, -1, 0};
    startLocationPlace = {0, -1, 0};
    memset(systemMessagePlaces, 0, sizeof systemMessagePlaces);
    checkMode = true;
    snprintf(mainFileName, sizeof mainFileName, "%s", fileName ? fileName : "");
}

int16_t checkFileOpened(const char *fileName)
{
    if (fileCount >= MAX_FILES)
        return static_cast<int16_t>(MAX_FILES - 1);
    fileNames[fileCount] = strdup(fileName ? fileName : "");
    fileHasUtf8[fileCount] = false;
    return static_cast<int16_t>(fileCount++);
}

// The length of the UTF-8 sequence at text (2 to 4), or 0 when none starts there.
static int utf8SequenceAt(const unsigned char *text)
{
    int length = text[0] >= 0xC2 && text[0] <= 0xDF ? 2 : text[0] >= 0xE0 && text[0] <= 0xEF ? 3
                                                        : text[0] >= 0xF0 && text[0] <= 0xF4 ? 4 : 0;
    for (int i = 1; i < length; i++)
        if (text[i] < 0x80 || text[i] > 0xBF)
            return 0;
    return length;
}

void checkLineRead(int16_t file, int lineNumber, const char *line)
{
    current = {++sequence, file, lineNumber};
    if (file < 0 || file >= fileCount || fileHasUtf8[file])
        return;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(line); *c; c++)
        if (int length = utf8SequenceAt(c)) {
            fileHasUtf8[file] = true;
            addFinding(current, SEVERITY_WARNING,
                       "the source looks like UTF-8 (a %d-byte sequence on this line): its accented letters will "
                       "show as two or more wrong characters; save it as ISO 8859-1 with CharSet=w in [System], "
                       "or in code page 437",
                       length);
            return;
        }
}

SourcePlace currentPlace()
{
    return current;
}

void setCurrentPlace(SourcePlace place)
{
    current = place;
}

static void addFindingList(SourcePlace place, Severity severity, const char *format, va_list arguments)
{
    if (findingCount == findingCapacity) {
        int capacity = findingCapacity ? findingCapacity * 2 : 64;
        Finding *grown = static_cast<Finding *>(realloc(findings, capacity * sizeof(Finding)));
        if (!grown)
            return;
        findings = grown;
        findingCapacity = capacity;
    }
    char text[FINDING_TEXT_SIZE];
    vsnprintf(text, sizeof text, format, arguments);
    size_t length = strlen(text) + 1;
    if (findingTextsUsed + length > findingTextsCapacity) {
        size_t capacity = std::max(2 * findingTextsCapacity, findingTextsUsed + length + 4096);
        char *grown = static_cast<char *>(realloc(findingTexts, capacity));
        if (!grown)
            return;
        findingTexts = grown;
        findingTextsCapacity = capacity;
    }
    memcpy(findingTexts + findingTextsUsed, text, length);
    findings[findingCount] = {place.sequence > 0 ? place : GAME_PLACE, findingCount, severity, findingTextsUsed};
    findingTextsUsed += length;
    findingCount++;
}

void addFinding(SourcePlace place, Severity severity, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    addFindingList(place, severity, format, arguments);
    va_end(arguments);
}

void addLineFinding(Severity severity, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    addFindingList(current, severity, format, arguments);
    va_end(arguments);
}

// ---------------------------------------------------------------------------
// The compiler's numbered messages in words

// The [System] key a line starts with, or nullptr.
static const char *systemKeyOf(const char *line)
{
    for (const char *key : SYSTEM_KEYS)
        if (startsWithIgnoreCase(line, key))
            return key;
    return nullptr;
}

static const char *sectionName(char section)
{
    switch (section) {
    case 's': return "[System]";
    case 'y': return "[Sysmsg]";
    case 'd': return "[Directions]";
    case 'i': return "[Shows]";
    case 'l': return "[Locations]";
    case 'o': return "[Objects]";
    case 'm': return "[Messages]";
    case 'v': return "[Verbs]";
    case 'n': return "[Nouns]";
    case 'e': return "[Events]";
    case 'a': return "[Actions]";
    default: return "this section";
    }
}

static void systemWarning(const char *line)
{
    const char *key = systemKeyOf(line);
    if (!key) {
        int length = static_cast<int>(strcspn(line, "="));
        addLineFinding(SEVERITY_WARNING, "warning 1: unknown [System] key '%.*s'", length > 40 ? 40 : length,
                       line);
    } else if (equalsIgnoreCase(key, "StartLocation=") || equalsIgnoreCase(key, "MaxItems=")) {
        addLineFinding(SEVERITY_WARNING, "warning 1: %.*s needs a number other than 0; the setting is unchanged",
                       static_cast<int>(strlen(key) - 1), key);
    } else if (equalsIgnoreCase(key, "Boolean=")) {
        addLineFinding(SEVERITY_WARNING, "warning 1: Boolean needs two letters, yes then no");
    } else if (equalsIgnoreCase(key, "ShowExits=")) {
        addLineFinding(SEVERITY_WARNING, "warning 1: ShowExits must start with 0, n, 1 or y (in small letters)");
    } else {
        addLineFinding(SEVERITY_WARNING, "warning 1: %.*s must be a colour from 0 to 15",
                       static_cast<int>(strlen(key) - 1), key);
    }
}

// Warning 1 of a numbered section: a number outside its range or a line of
// the wrong kind.
static void numberedWarning(char section, const char *line)
{
    static const struct {
        char section;
        int lowest, highest;
        const char *entry;
        bool textLines;             // text lines belong to the entry above
    } RANGES[] = {
        {'y', 1, 31, "system message", false}, {'d', 1, 10, "direction", false},
        {'i', 1, MAX_SHOW, "show", true},      {'l', 0, MAX_ENTRY, "location", true},
        {'o', 1, MAX_ENTRY, "object", true},   {'m', 1, MAX_ENTRY, "message", false},
        {'v', 1, MAX_ENTRY, "verb", false},    {'n', 1, MAX_ENTRY, "noun", false},
    };
    for (const auto &range : RANGES) {
        if (range.section != section)
            continue;
        if (line[0] == '#')
            addLineFinding(SEVERITY_WARNING, "warning 1: %s number %d is outside %d to %d", range.entry,
                           readNumber(line + 1), range.lowest, range.highest);
        else if (range.textLines)
            addLineFinding(SEVERITY_WARNING, "warning 1: a text line with no %s before it (or after a %s number "
                           "that was refused)", range.entry, range.entry);
        else
            addLineFinding(SEVERITY_WARNING, "warning 1: a %s line must start with '#' and its number",
                           sectionName(section));
        return;
    }
}

void checkCompilerMessage(char section, int code, const char *line)
{
    if (line[0] == '@') {
        if (code == -3)
            addLineFinding(SEVERITY_ERROR, "error 3: the included file '%s' cannot be opened (missing, not a "
                           "regular file, or too many files open)", line + 1);
        else if (code < 0)
            addLineFinding(SEVERITY_ERROR, "error 1: the included file '%s' has errors", line + 1);
        else
            addLineFinding(SEVERITY_WARNING, "warning 1: the included file '%s' has warnings", line + 1);
        return;
    }
    if (code == -3) {
        addLineFinding(SEVERITY_ERROR, "error 3: the file cannot be read beyond this line");
        return;
    }
    if (code == -1 && line[0] == '[') {
        int length = static_cast<int>(strcspn(line, "]"));
        addLineFinding(SEVERITY_ERROR, "error 1: '%.*s' is no section header", length < 40 ? length + 1 : 40,
                       line);
        return;
    }
    if (code == -1) {
        addLineFinding(SEVERITY_ERROR, "error 1: the %s table is full (32767 rows)", sectionName(section));
        return;
    }
    if (section == 0) {
        addLineFinding(SEVERITY_WARNING, "warning 1: a line before the first section header is ignored");
        return;
    }
    if (code == 2) {
        switch (section) {
        case 'i':
            addLineFinding(SEVERITY_WARNING, "warning 2: a show line needs its picture field: #N,picture");
            break;
        case 'l':
            addLineFinding(SEVERITY_WARNING,
                           "warning 2: a location line needs name, picture and flags: #N,name,picture,flags");
            break;
        case 'o':
            addLineFinding(SEVERITY_WARNING,
                           "warning 2: an object line needs name, location and flags: #N,name,location,flags");
            break;
        case 'v':
        case 'n':
            addLineFinding(SEVERITY_WARNING, "warning 2: a numbered line lists no word");
            break;
        case 'e':
        case 'a':
            addLineFinding(SEVERITY_WARNING, "warning 2: '%s' with nothing after it", line);
            break;
        default:
            addLineFinding(SEVERITY_WARNING, "warning 2: a numbered line needs a comma after its number");
            break;
        }
        return;
    }
    if (section == 's')
        systemWarning(line);
    else
        numberedWarning(section, line);
}

// Variable names with blanks around them: rules and texts must name them
// with the blanks, which no rule word can hold.
static void checkVariableNames(const char *line)
{
    char names[LINE_BUFFER_SIZE];
    snprintf(names, sizeof names, "%s", line);
    char *cursor = names;
    while (char *name = nextField(&cursor)) {
        size_t length = strlen(name);
        if (length > 0 && (name[0] == ' ' || name[0] == '\t' || name[length - 1] == ' ' || name[length - 1] == '\t'))
            addLineFinding(SEVERITY_WARNING, "the variable '%s' has a blank in its name: no rule can name it; "
                           "write the names without blanks around the commas", name);
    }
}

void checkDeclaration(char section, const char *line)
{
    if (section == 'f') {
        checkVariableNames(line);
        return;
    }
    if (section == 's' && startsWithIgnoreCase(line, "StartLocation=")) {
        startLocationPlace = current;
        return;
    }
    if (line[0] != '#')
        return;
    int number = readNumber(line + 1);
    if (section == 'y' && number >= 1 && number < SYSTEM_MESSAGE_COUNT) {
        systemMessagePlaces[number] = current;
        return;
    }
    int kind = section == 'l' ? ENTRY_LOCATION : section == 'o' ? ENTRY_OBJECT
             : section == 'm' ? ENTRY_MESSAGE : section == 'i' ? ENTRY_SHOW : -1;
    if (kind < 0 || number < 0 || number >= ENTRY_SLOTS)
        return;
    if (number >= entryCapacity[kind]) {
        int capacity = std::min(ENTRY_SLOTS, std::max(64, 2 * (number + 1)));
        void *grown = realloc(entryPlaces[kind], static_cast<size_t>(capacity) * sizeof(SourcePlace));
        if (!grown)
            return;                 // the place is only a reference for findings
        entryPlaces[kind] = static_cast<SourcePlace *>(grown);
        memset(entryPlaces[kind] + entryCapacity[kind], 0,
               static_cast<size_t>(capacity - entryCapacity[kind]) * sizeof(SourcePlace));
        entryCapacity[kind] = capacity;
    }
    if (entryPlaces[kind][number].sequence == 0)
        entryPlaces[kind][number] = current;
}

static SourcePlace entryPlace(int kind, int number)
{
    if (number < 0 || number >= entryCapacity[kind])
        return {0, -1, 0};
    return entryPlaces[kind][number];
}

SourcePlace locationPlace(int location) { return entryPlace(ENTRY_LOCATION, location); }
SourcePlace objectPlace(int object) { return entryPlace(ENTRY_OBJECT, object); }
SourcePlace messagePlace(int message) { return entryPlace(ENTRY_MESSAGE, message); }
SourcePlace showPlace(int show) { return entryPlace(ENTRY_SHOW, show); }

// ---------------------------------------------------------------------------
// The world

static bool locationDeclared(int location)
{
    return location >= 0 && location <= lastLocation && locations[location].name != 0;
}

static const char *directionName(int direction)
{
    static const char *const DEFAULT_NAMES[] = {"north", "south", "east", "west", "up",
                                                "down", "northeast", "northwest", "southeast", "southwest"};
    const char *name = textOf(directions[direction - 1]);
    return name && name[0] ? name : DEFAULT_NAMES[direction - 1];
}

static void checkLocations()
{
    if (!locationDeclared(0))
        addFinding(GAME_PLACE, SEVERITY_ERROR,
                   "no location 0: the game needs the darkness location, for example '#0,Darkness,,0' in "
                   "[Locations], or it shows no location text at all");
    if (!locationDeclared(settings.StartLocation)) {
        SourcePlace place = startLocationPlace.sequence ? startLocationPlace : GAME_PLACE;
        addFinding(place, SEVERITY_ERROR, "StartLocation %d is not a declared location%s", settings.StartLocation,
                   startLocationPlace.sequence ? "" : " (1 unless [System] sets StartLocation=)");
    }
    for (int location = 0; location <= lastLocation; location++) {
        if (!locations[location].name)
            continue;
        for (int direction = 1; direction <= DIRECTION_COUNT; direction++) {
            int to = locations[location].exits[direction - 1];
            if (to != 0 && !locationDeclared(to))
                addFinding(locationPlace(location), SEVERITY_ERROR,
                           "exit %s of location %d leads to location %d, which is not declared",
                           directionName(direction), location, to);
        }
    }
    for (int object = 1; object <= lastObject; object++) {
        int at = objects[object].initialLocation;
        if (objects[object].name && at != CARRIED && at != WORN && at != 0 && !locationDeclared(at))
            addFinding(objectPlace(object), SEVERITY_ERROR, "object %d is placed at location %d, which is not declared",
                       object, at);
    }
}

// Locations the player can reach from StartLocation by exits, or that a rule
// moves the player to or opens an exit to.
static void checkReachable(const RuleUses &uses)
{
    if (lastLocation < 1 || !locationDeclared(settings.StartLocation))
        return;
    int count = lastLocation + 1;
    bool *reached = static_cast<bool *>(calloc(count, 1));
    int *queue = static_cast<int *>(malloc(count * sizeof(int)));
    if (!reached || !queue) {
        free(reached);
        free(queue);
        return;
    }
    // Breadth first from the start and from every place a rule leads to.
    int head = 0, tail = 0;
    for (int location = 0; location < count; location++)
        if (location == settings.StartLocation || (uses.destinations && uses.destinations[location])) {
            reached[location] = true;
            queue[tail++] = location;
        }
    while (head < tail) {
        int location = queue[head++];
        for (int16_t to : locations[location].exits)
            if (to >= 0 && to < count && !reached[to]) {
                reached[to] = true;
                queue[tail++] = to;
            }
    }
    for (int location = 1; location <= lastLocation; location++)
        if (locations[location].name && !reached[location])
            addFinding(locationPlace(location), SEVERITY_NOTE,
                       "location %d cannot be reached from the start: no exit or rule leads there", location);
    free(reached);
    free(queue);
}

static void checkUnused(const RuleUses &uses)
{
    if (!uses.objects)
        return;
    for (int object = 1; object <= lastObject; object++)
        if (objects[object].name && objects[object].initialLocation == 0 && !uses.objects[object])
            addFinding(objectPlace(object), SEVERITY_NOTE,
                       "object %d is nowhere and no rule names it: the player never meets it", object);
    for (int message = 1; message <= lastMessage; message++)
        if (messages[message] && !uses.messages[message])
            addFinding(messagePlace(message), SEVERITY_NOTE, "message %d is never shown: no rule names it", message);
    for (int show = 1; show <= lastShow; show++)
        if ((shows[show].text || shows[show].picture) && !uses.shows[show])
            addFinding(showPlace(show), SEVERITY_NOTE, "show %d is never shown: no rule names it", show);
}

// ---------------------------------------------------------------------------
// Texts

static void checkText(const char *text, SourcePlace place, const char *what)
{
    for (const char *c = text; c && *c; c++) {
        if (*c != '%')
            continue;
        if (c[1] == '%') {
            c++;
            continue;
        }
        const char *close = strchr(c + 1, '%');
        if (!close) {
            addFinding(place, SEVERITY_WARNING, "%s has a '%%' with no closing one: the rest of the text is not shown "
                       "(write %%%% for a percent sign)", what);
            return;
        }
        char name[WORD_SIZE + 1];
        size_t length = static_cast<size_t>(close - c - 1);
        snprintf(name, sizeof name, "%.*s", static_cast<int>(length < WORD_SIZE ? length : WORD_SIZE), c + 1);
        if (findVariable(name) <= 0)
            addFinding(place, SEVERITY_WARNING, "%s names the variable '%.*s', which is not declared in [Vars]", what,
                       static_cast<int>(length > 40 ? 40 : length), c + 1);
        c = close;
    }
}

static void checkTexts()
{
    char what[64];
    for (int i = 0; i <= lastLocation; i++) {
        snprintf(what, sizeof what, "the text of location %d", i);
        checkText(textOf(locations[i].description), locationPlace(i), what);
    }
    for (int i = 1; i <= lastObject; i++) {
        snprintf(what, sizeof what, "the text of object %d", i);
        checkText(textOf(objects[i].description), objectPlace(i), what);
    }
    for (int i = 1; i <= lastMessage; i++) {
        snprintf(what, sizeof what, "message %d", i);
        checkText(textOf(messages[i]), messagePlace(i), what);
    }
    for (int i = 1; i <= lastShow; i++) {
        snprintf(what, sizeof what, "the text of show %d", i);
        checkText(textOf(shows[i].text), showPlace(i), what);
    }
    for (int i = 1; i < SYSTEM_MESSAGE_COUNT; i++) {
        snprintf(what, sizeof what, "system message %d", i);
        checkText(textOf(systemMessages[i]), systemMessagePlaces[i], what);
    }
}

// ---------------------------------------------------------------------------
// System messages that the core shows

static bool verbDeclared(int number)
{
    for (int i = 0; i < verbCount; i++)
        if (verbs[i].number == number)
            return true;
    return false;
}

static bool anyVerbDeclared(int first, int last)
{
    for (int number = first; number <= last; number++)
        if (verbDeclared(number))
            return true;
    return false;
}

// Whether an action rule tests both a verb and a noun: only then can a
// command match a rule's words and fail on its other conditions.
static bool anyRuleTestsVerbAndNoun()
{
    for (int i = 0; i < actionCount; i++) {
        bool verb = false, noun = false;
        for (int slot = 0; slot < RULE_SLOTS; slot++) {
            verb = verb || actions[i].opcodes[slot] == COND_VERB;
            noun = noun || actions[i].opcodes[slot] == COND_NOUN;
        }
        if (verb && noun && actions[i].kind != KIND_ACTION)
            return true;
    }
    return false;
}

static bool anyExit()
{
    for (int location = 0; location <= lastLocation; location++)
        for (int16_t to : locations[location].exits)
            if (to != 0)
                return true;
    return false;
}

static void checkSystemMessages()
{
    bool moves = anyVerbDeclared(1, DIRECTION_COUNT);
    bool things = lastObject >= 1 && nounCount > 0;
    bool handling = things && anyVerbDeclared(13, 17);
    const struct {
        int number;
        bool needed;
        const char *use;
    } NEEDED[] = {
        {MSG_NOT_UNDERSTOOD, true, "a command that is not understood"},
        {MSG_NOT_HERE, handling, "an object that is not here"},
        {MSG_NOT_POSSIBLE, things && anyVerbDeclared(14, 17), "taking, dropping, wearing or removing what cannot be"},
        {MSG_TOO_MUCH, things && verbDeclared(14), "carrying too much"},
        {MSG_NO_EXIT, moves, "a direction without an exit"},
        {MSG_NOTHING_SPECIAL, things && verbDeclared(13), "examining an object without a text"},
        {MSG_ALMOST, anyRuleTestsVerbAndNoun(), "a command that a rule almost matched"},
        {MSG_REPLY, verbDeclared(18), "the reply of verb 18"},
        {MSG_DONE, (moves && anyExit()) || handling, "a move or a take, drop, wear or remove that succeeded"},
        {MSG_CARRYING, verbDeclared(11), "the heading of the inventory"},
        {MSG_NOTHING_CARRIED, verbDeclared(11), "the inventory when nothing is carried"},
        {MSG_FILE_FAILED, anyVerbDeclared(21, 22), "a saved game that cannot be written or read"},
    };
    for (const auto &message : NEEDED)
        if (message.needed && !systemMessages[message.number])
            addFinding(GAME_PLACE, SEVERITY_WARNING,
                       "system message %d (%s) is not defined in [Sysmsg]: the player sees nothing then",
                       message.number, message.use);
}

// ---------------------------------------------------------------------------
// Printing

static bool comesBefore(const Finding &a, const Finding &b)
{
    if (a.place.sequence != b.place.sequence)
        return a.place.sequence < b.place.sequence;
    return a.order < b.order;
}

static void printFinding(const Finding &finding)
{
    static const char *const NAMES[] = {"error", "warning", "note"};
    bool atLine = finding.place.file >= 0 && finding.place.file < fileCount;
    writeTerminalText(stdout, atLine ? fileNames[finding.place.file] : mainFileName);
    if (atLine)
        printf(":%d", finding.place.line);
    printf(": %s: ", NAMES[finding.severity]);
    writeTerminalText(stdout, findingTexts + finding.text);
    fputc('\n', stdout);
}

int finishCheck()
{
    checkRuleTables();
    checkLocations();
    RuleUses uses = collectRuleUses();
    checkReachable(uses);
    checkTexts();
    checkUnused(uses);
    freeRuleUses(&uses);
    checkSystemMessages();
    std::stable_sort(findings, findings + findingCount, comesBefore);
    int errors = 0, warnings = 0;
    for (int i = 0; i < findingCount; i++) {
        printFinding(findings[i]);
        errors += findings[i].severity == SEVERITY_ERROR;
        warnings += findings[i].severity == SEVERITY_WARNING;
    }
    printf("%d error%s, %d warning%s\n", errors, errors == 1 ? "" : "s", warnings, warnings == 1 ? "" : "s");
    checkMode = false;
    releaseCheck();
    return errors > 0 ? 1 : 0;
}
