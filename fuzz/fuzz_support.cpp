// Helpers of the fuzz targets: work folder, files, fixed games, answers script.
#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/compiler/declaration_sections.h"
#include "core/compiler/source_reader.h"
#include "core/database/game_database.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"

static bool inFolder = false;
static char folder[] = "/tmp/tarnwick-fuzz-XXXXXX";
static const uint8_t *scriptData = nullptr;
static size_t scriptSize = 0;
static size_t scriptAt = 0;

static void removeFuzzFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void enterFuzzFolder()
{
    if (inFolder)
        return;
    if (!mkdtemp(folder) || chdir(folder) != 0) {
        perror("fuzz work folder");
        abort();
    }
    inFolder = true;
    atexit(removeFuzzFolder);
}

bool writeFuzzFile(const char *name, const uint8_t *data, size_t size)
{
    FILE *file = fopen(name, "wb");
    if (!file)
        return false;
    bool ok = fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

bool namesSystemFile(const uint8_t *data, size_t size)
{
    static const char *const PREFIXES[] = {"/dev", "/proc", "/sys"};
    for (const char *prefix : PREFIXES) {
        size_t length = strlen(prefix);
        for (size_t i = 0; i + length <= size; i++)
            if (memcmp(data + i, prefix, length) == 0)
                return true;
    }
    return false;
}

void freshDatabase()
{
    if (!arenaBase && !allocateArena())
        abort();
    resetDatabase();
    resetDeclarationState();   // a program compiles once; each input is a fresh program
}

bool compileProjectSource(const char *relativePath)
{
    std::string path = std::string(TARNWICK_SOURCE_DIR "/") + relativePath;
    FILE *file = fopen(path.c_str(), "r");
    if (!file)
        return false;
    int outcome = readSourceFile(file, path.c_str());
    fclose(file);
    return outcome >= 0;
}

void silenceOutput()
{
    if (!freopen("/dev/null", "w", stdout))
        abort();
}

void setScript(const uint8_t *data, size_t size)
{
    scriptData = data;
    scriptSize = size;
    scriptAt = 0;
}

int nextScriptByte()
{
    return scriptAt < scriptSize ? scriptData[scriptAt++] : 0;
}

void nextScriptLine(char *buffer, int limit)
{
    int length = 0;
    while (scriptAt < scriptSize) {
        char c = static_cast<char>(scriptData[scriptAt++]);
        if (c == '\n')
            break;
        if (length < limit - 1)
            buffer[length++] = c;
    }
    buffer[length] = '\0';
}

// A word of the table picked by the next script byte (shifted by the turn,
// so that an exhausted script still walks the table); 0 when it is empty.
static int pickWord(const WordRecord *table, int count, int turn)
{
    if (count <= 0 || !table)
        return 0;
    int index = (nextScriptByte() + turn) % (count + 1);
    return index == count ? 0 : table[index].number;
}

// Whether a rule table holds a while record: a loop that never ends runs
// to the walker's jump limit, which takes seconds under the sanitizers.
static bool hasWhileRecord(const RuleRecord *table, int count)
{
    for (int i = 0; i < count; i++)
        if (table[i].kind == 'w')
            return true;
    return false;
}

bool gameHasLoops()
{
    return hasWhileRecord(events, eventCount) || hasWhileRecord(actions, actionCount);
}

void playTurns(int turns)
{
    if (gameHasLoops())
        turns = turns < 2 ? turns : 2;
    int result = SKIP_EVENTS;
    for (int turn = 0; turn < turns; turn++) {
        if (result != SKIP_EVENTS && runEvents(0) == -1)
            return;
        int verb = pickWord(verbs, verbCount, turn);
        int noun = pickWord(nouns, nounCount, turn);
        int noun2 = pickWord(nouns, nounCount, turn + 1);
        result = runTurn(verb, noun, noun2, 0);
        if (result == GAME_OVER)
            return;
    }
}
