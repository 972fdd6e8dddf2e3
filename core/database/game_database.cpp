// The game database: tables, their growth, the string arena and look-ups.
#include "core/database/game_database.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/database/name_index.h"
#include "core/database/text_compare.h"

char *arenaBase = nullptr;
char *arenaNext = nullptr;

LocationRecord *locations = nullptr;
int16_t lastLocation = -1;
ShowRecord *shows = nullptr;
int16_t lastShow = -1;
TextRef *messages = nullptr;
int16_t lastMessage = -1;
ObjectRecord *objects = nullptr;
int16_t lastObject = -1;

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

bool allocateArena()
{
    arenaBase = static_cast<char *>(calloc(ARENA_SIZE, 1));
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
    return static_cast<TextRef>(start - arenaBase);
}

bool growLocations(int n)
{
    if (n <= lastLocation)
        return true;
    auto *grown = static_cast<LocationRecord *>(resize(locations, (n + 1) * sizeof(LocationRecord)));
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
    return true;
}

bool growShows(int n)
{
    if (n <= lastShow)
        return true;
    auto *grown = static_cast<ShowRecord *>(resize(shows, (n + 1) * sizeof(ShowRecord)));
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
    auto *grown = static_cast<TextRef *>(resize(messages, (n + 1) * sizeof(TextRef)));
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
    auto *grown = static_cast<ObjectRecord *>(resize(objects, (n + 1) * sizeof(ObjectRecord)));
    if (!grown)
        return false;
    objects = grown;
    for (int i = lastObject + 1; i <= n; i++) {
        memset(&objects[i], 0, sizeof(ObjectRecord));
        objects[i].currentLocation = UNCHANGED;
    }
    lastObject = static_cast<int16_t>(n);
    return true;
}

template <typename Row>
static Row *appendRow(Row **table, int16_t *count)
{
    Row *grown = static_cast<Row *>(resize(*table, (*count + 1) * sizeof(Row)));
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
