// The game database: tables, their growth, the string arena and look-ups.
#include "core/database/game_database.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/database/name_index.h"
#include "core/database/text_compare.h"

#if __has_include(<sys/mman.h>) && __has_include(<unistd.h>)
#include <sys/mman.h>
#include <unistd.h>
#endif

char *arenaBase = nullptr;
char *arenaNext = nullptr;

// The start of the text that ends where the arena's used part ends, as
// appendText left it (0 when not known): while arenaNext is still
// lastTextEnd, whether a text is the last one needs no scan of it.
static TextRef lastTextStart = 0;
static const char *lastTextEnd = nullptr;

LocationRecord *locations = nullptr;
int16_t lastLocation = -1;
uint32_t locationEdits = 0;
ShowRecord *shows = nullptr;
int16_t lastShow = -1;
TextRef *messages = nullptr;
int16_t lastMessage = -1;
ObjectRecord *objects = nullptr;
int16_t lastObject = -1;
uint32_t objectEdits = 0;

TextRef directions[DIRECTION_COUNT];
TextRef systemMessages[SYSTEM_MESSAGE_COUNT];

WordRecord *verbs = nullptr;
int16_t verbCount = 0;
WordRecord *nouns = nullptr;
int16_t nounCount = 0;
RuleRecord *events = nullptr;
int16_t eventCount = 0;
RuleRecord *actions = nullptr;
int16_t actionCount = 0;
VarRecord *vars = nullptr;
int16_t varCount = 0;

GameSettings settings;

// Asks the system to make the memory pages from the page holding start up
// to the page holding end (that one excluded) present at once, before they
// are written: taking them one at a time on the first touch costs several
// times more (on virtual machines tens of times), and a compile fills
// megabytes of table rows. Only a hint: where the system has no such call,
// or refuses it, the pages come as they are touched.
static void populatePages(const char *start, const char *end)
{
#ifdef MADV_POPULATE_WRITE
    static const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0)
        return;
    uintptr_t mask = ~(static_cast<uintptr_t>(pageSize) - 1);
    uintptr_t first = reinterpret_cast<uintptr_t>(start) & mask;
    uintptr_t last = reinterpret_cast<uintptr_t>(end) & mask;
    if (last > first)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)start;
    (void)end;
#endif
}

bool allocateArena()
{
    arenaBase = static_cast<char *>(calloc(ARENA_SIZE, 1));
    if (arenaBase)
        populatePages(arenaBase, arenaBase + ARENA_SIZE);     // resetting the arena writes all of it
    arenaNext = arenaBase ? arenaBase + 1 : nullptr;
    return arenaBase != nullptr;
}

void freeArena()
{
    free(arenaBase);
    arenaBase = arenaNext = nullptr;
}

// Tables never shrink below what is in use. A failed reallocation leaves the
// table as it was and is remembered for the driver to report.
static bool allocationFailed = false;

bool databaseAllocationFailed()
{
    return allocationFailed;
}

static void *resize(void *table, size_t bytes)
{
    void *grown = realloc(table, bytes ? bytes : 1);
    if (!grown)
        allocationFailed = true;
    return grown;
}

// Room kept in a table beyond its rows while a source is compiled, so that
// appending is not one reallocation per row: a full table grows to twice its
// rows (at most TABLE_ROWS_LIMIT). A capacity belongs to the block it was
// taken for; a table put in place otherwise (a loaded game) has none and
// grows from the rows it holds.
constexpr int FIRST_CAPACITY = 16;
constexpr size_t POPULATE_WINDOW = 64 * 1024;      // bytes of rows made present ahead of the writes
constexpr int TABLE_ROWS_LIMIT = MAX_SHOW + 1;     // the most rows any table holds

struct TableCapacity {
    const void *table;      // the address of the table's pointer variable
    const void *rows;       // the block the capacity was taken for
    int capacity;           // rows that block holds
    size_t populated;       // bytes from its start made present for writing
};

static TableCapacity capacities[] = {
    {&locations, nullptr, 0, 0}, {&shows, nullptr, 0, 0},   {&messages, nullptr, 0, 0},
    {&objects, nullptr, 0, 0},   {&verbs, nullptr, 0, 0},   {&nouns, nullptr, 0, 0},
    {&events, nullptr, 0, 0},    {&actions, nullptr, 0, 0}, {&vars, nullptr, 0, 0},
};

// The capacity of the table whose pointer variable is at table; nullptr for
// a table that is not the database's own.
static TableCapacity *capacityOf(const void *table)
{
    for (TableCapacity &entry : capacities)
        if (entry.table == table)
            return &entry;
    return nullptr;
}

// Keeps the pages of a table's block present a window ahead of the rows
// about to be written, so that they are written while the system's zeroing
// of them is still in the cache.
static void populateAhead(TableCapacity *entry, size_t rowSize, int needed)
{
    size_t neededBytes = size_t(needed) * rowSize;
    if (neededBytes <= entry->populated)
        return;
    size_t end = std::min(neededBytes + POPULATE_WINDOW, size_t(entry->capacity) * rowSize);
    const char *block = static_cast<const char *>(entry->rows);
    populatePages(block + entry->populated, block + end);
    entry->populated = end;
}

// The block of a table of used rows (rowSize bytes each) made to hold at
// least needed rows: rows itself when it has the room, else a larger one.
// nullptr when the memory cannot be had: the table is then as it was.
static void *reserveRows(TableCapacity *entry, void *rows, size_t rowSize, int used, int needed)
{
    if (!entry)     // a table of the caller's: exactly what is asked
        return resize(rows, size_t(needed) * rowSize);
    if (rows && entry->rows == rows && needed <= entry->capacity) {
        populateAhead(entry, rowSize, needed);
        return rows;
    }
    int capacity = used < FIRST_CAPACITY / 2 ? FIRST_CAPACITY : 2 * used;
    if (capacity > TABLE_ROWS_LIMIT)
        capacity = TABLE_ROWS_LIMIT;
    if (capacity < needed)
        capacity = needed;
    void *grown = realloc(rows, size_t(capacity) * rowSize);
    if (!grown && capacity > needed) {     // the rows asked for may still be had
        capacity = needed;
        grown = realloc(rows, size_t(capacity) * rowSize);
    }
    if (!grown) {
        allocationFailed = true;
        return nullptr;
    }
    entry->rows = grown;
    entry->capacity = capacity;
    entry->populated = size_t(used) * rowSize;     // the rows kept are present
    populateAhead(entry, rowSize, needed);
    return grown;
}

// Gives back the room beyond a table's rows.
template <typename Row>
static void fitTable(Row **table, int used)
{
    TableCapacity *entry = capacityOf(table);
    if (!*table || used <= 0 || entry->rows != *table || entry->capacity <= used)
        return;
    if (Row *fitted = static_cast<Row *>(realloc(*table, size_t(used) * sizeof(Row)))) {
        *table = fitted;
        entry->rows = fitted;
        entry->capacity = used;
        entry->populated = std::min(entry->populated, size_t(used) * sizeof(Row));
    }   // else the larger block serves as well
}

void fitTables()
{
    const RuleRecord *eventRows = events, *actionRows = actions;
    fitTable(&locations, lastLocation + 1);
    fitTable(&shows, lastShow + 1);
    fitTable(&messages, lastMessage + 1);
    fitTable(&objects, lastObject + 1);
    fitTable(&verbs, verbCount);
    fitTable(&nouns, nounCount);
    fitTable(&events, eventCount);
    fitTable(&actions, actionCount);
    fitTable(&vars, varCount);
    if (events != eventRows || actions != actionRows)
        rulesGeneration++;      // what was decoded from the rules points at the old rows
}

void resetDatabase()
{
    rulesGeneration++;
    free(locations);
    free(shows);
    free(messages);
    free(objects);
    free(verbs);
    free(nouns);
    free(events);
    free(actions);
    free(vars);
    locations = nullptr;
    shows = nullptr;
    messages = nullptr;
    objects = nullptr;
    verbs = nouns = nullptr;
    events = actions = nullptr;
    vars = nullptr;
    for (TableCapacity &entry : capacities) {
        entry.rows = nullptr;
        entry.capacity = 0;
        entry.populated = 0;
    }
    lastTextStart = 0;
    lastTextEnd = nullptr;
    lastLocation = lastShow = lastMessage = lastObject = -1;
    verbCount = nounCount = eventCount = actionCount = varCount = 0;
    memset(systemMessages, 0, sizeof systemMessages);
    if (arenaBase) {
        memset(arenaBase, 0, ARENA_SIZE);
        arenaNext = arenaBase + 1;
    }

    memset(&settings, 0, sizeof settings);
    settings.StartLocation = 1;
    settings.MaxItems = 5;
    settings.ShowExits = 1;
    settings.BgColor = 0;
    settings.FgColor = 15;
    settings.YesLetter = 'y';
    settings.NoLetter = 'n';
    strcpy(settings.Prompt, ">");
}

TextRef appendText(const char *text, bool continuation)
{
    if (!arenaBase || !text)
        return 0;
    char *joinedAt = nullptr;   // the NUL turned into a blank, to undo on failure
    char *previousNext = arenaNext;
    if (continuation && arenaNext - arenaBase >= 2 && arenaNext[-1] == '\0') {
        joinedAt = arenaNext - 1;
        *joinedAt = ' ';
        char before = arenaNext[-2];
        if (before == '\\')
            arenaNext -= 1;
        else if (static_cast<unsigned char>(before) == 0xFF)
            arenaNext -= 2;
    }
    size_t length = strlen(text);
    if (arenaNext + length >= arenaBase + ARENA_SIZE) {
        // A continuation that does not fit leaves the previous text as it was.
        if (joinedAt) {
            *joinedAt = '\0';
            arenaNext = previousNext;
        }
        return 0;
    }
    char *start = arenaNext;
    memcpy(start, text, length + 1);
    arenaNext += length + 1;
    if (!joinedAt)
        lastTextStart = static_cast<TextRef>(start - arenaBase);
    else if (lastTextEnd != previousNext)
        lastTextStart = 0;      // joined onto a text appendText did not leave last
    lastTextEnd = arenaNext;
    return static_cast<TextRef>(start - arenaBase);
}

bool isLastText(TextRef ref)
{
    if (ref == 0 || !arenaBase)
        return false;
    if (ref == lastTextStart && arenaNext == lastTextEnd)
        return true;
    return ref + strlen(textOf(ref)) + 1 == arenaUsed();
}

bool growLocations(int n)
{
    if (n <= lastLocation)
        return true;
    auto *grown = static_cast<LocationRecord *>(reserveRows(capacityOf(&locations), locations, sizeof(LocationRecord), lastLocation + 1, n + 1));
    if (!grown)
        return false;
    locations = grown;
    for (int i = lastLocation + 1; i <= n; i++) {
        LocationRecord &row = locations[i];
        memset(&row, 0, sizeof row);
        for (int16_t &exit : row.currentExits)
            exit = UNCHANGED;
        row.currentLight = 1;
    }
    lastLocation = static_cast<int16_t>(n);
    locationEdits++;
    return true;
}

bool growShows(int n)
{
    if (n <= lastShow)
        return true;
    auto *grown = static_cast<ShowRecord *>(reserveRows(capacityOf(&shows), shows, sizeof(ShowRecord), lastShow + 1, n + 1));
    if (!grown)
        return false;
    shows = grown;
    memset(shows + lastShow + 1, 0, (n - lastShow) * sizeof(ShowRecord));
    lastShow = static_cast<int16_t>(n);
    return true;
}

bool growMessages(int n)
{
    if (n <= lastMessage)
        return true;
    auto *grown = static_cast<TextRef *>(reserveRows(capacityOf(&messages), messages, sizeof(TextRef), lastMessage + 1, n + 1));
    if (!grown)
        return false;
    messages = grown;
    memset(messages + lastMessage + 1, 0, (n - lastMessage) * sizeof(TextRef));
    lastMessage = static_cast<int16_t>(n);
    return true;
}

bool growObjects(int n)
{
    if (n <= lastObject)
        return true;
    auto *grown = static_cast<ObjectRecord *>(reserveRows(capacityOf(&objects), objects, sizeof(ObjectRecord), lastObject + 1, n + 1));
    if (!grown)
        return false;
    objects = grown;
    for (int i = lastObject + 1; i <= n; i++) {
        memset(&objects[i], 0, sizeof(ObjectRecord));
        objects[i].currentLocation = UNCHANGED;
    }
    lastObject = static_cast<int16_t>(n);
    objectEdits++;
    return true;
}

template <typename Row>
static Row *appendRow(Row **table, int16_t *count)
{
    Row *grown = static_cast<Row *>(reserveRows(capacityOf(table), *table, sizeof(Row), *count, *count + 1));
    if (!grown)
        return nullptr;
    *table = grown;
    Row *row = &(*table)[*count];
    memset(row, 0, sizeof(Row));
    (*count)++;
    return row;
}

WordRecord *appendWord(WordRecord **table, int16_t *count) { return appendRow(table, count); }
uint32_t rulesGeneration = 0;

RuleRecord *appendRule(RuleRecord **table, int16_t *count)
{
    rulesGeneration++;
    return appendRow(table, count);
}

VarRecord *appendVar()
{
    if (varCount == 0) {
        VarRecord *placeholder = appendRow(&vars, &varCount);
        if (!placeholder)
            return nullptr;
        memcpy(placeholder->name, "^foobar^", WORD_SIZE);
    }
    return appendRow(&vars, &varCount);
}

void copyWord(char stored[WORD_SIZE], const char *text)
{
    int i = 0;
    for (; i < WORD_SIZE && text[i]; i++)
        stored[i] = text[i];
    for (; i < WORD_SIZE; i++)
        stored[i] = '\0';
}

bool wordMatches(const char stored[WORD_SIZE], const char *word)
{
    for (int i = 0; i < WORD_SIZE; i++) {
        char a = asciiLower(stored[i]);
        char b = asciiLower(word[i]);
        if (a != b)
            return false;
        if (a == '\0')
            return true;
    }
    return true;
}

static int findWord(const WordRecord *table, int count, const char *word, NameTable which)
{
    if (nameIndexing() && count > 0) {
        int row = indexedRow(which, table[0].word, sizeof *table, count, word);
        return row >= 0 ? table[row].number : 0;
    }
    for (int i = 0; i < count; i++)
        if (wordMatches(table[i].word, word))
            return table[i].number;
    return 0;
}

int findVerb(const char *word) { return findWord(verbs, verbCount, word, NAME_VERBS); }
int findNoun(const char *word) { return findWord(nouns, nounCount, word, NAME_NOUNS); }

int findVariable(const char *name)
{
    if (nameIndexing() && varCount > 0) {
        int row = indexedRow(NAME_VARS, vars[0].name, sizeof *vars, varCount, name);
        return row > 0 ? row : 0;
    }
    for (int i = 0; i < varCount; i++)
        if (wordMatches(vars[i].name, name))
            return i;
    return 0;
}

const char *messageText(int number)
{
    return number >= 0 && number <= lastMessage ? textOf(messages[number]) : nullptr;
}

const char *systemMessageText(int number)
{
    return number >= 0 && number < SYSTEM_MESSAGE_COUNT ? textOf(systemMessages[number]) : nullptr;
}

const ShowRecord *visibleShow(int number)
{
    return number >= 0 && number <= lastShow && shows[number].picture ? &shows[number] : nullptr;
}

const char *examineText(int object)
{
    const char *description = objectExists(object) ? textOf(objects[object].description) : nullptr;
    return description ? description : textOf(systemMessages[MSG_NOTHING_SPECIAL]);
}
