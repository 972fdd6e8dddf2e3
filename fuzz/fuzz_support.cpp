// Helpers of the fuzz targets: work folder, files, fixed games, answers script.
#include "fuzz/fuzz_support.h"

#include <sys/stat.h>
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
static char folder[64];
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
    // Memory-backed when possible: the inputs written for every run, and
    // the saves a game makes (each synced), then never reach a disk.
    struct stat status;
    const char *parent = stat("/dev/shm", &status) == 0 && S_ISDIR(status.st_mode) ? "/dev/shm" : "/tmp";
    snprintf(folder, sizeof folder, "%s/tarnwick-fuzz-XXXXXX", parent);
    if (!mkdtemp(folder) || chdir(folder) != 0) {
        perror("fuzz work folder");
        abort();
    }
    inFolder = true;
    atexit(removeFuzzFolder);
}

bool writeFuzzFile(const char *name, const uint8_t *data, size_t size)
{
    // A fresh file rather than a truncated one: on a disk, ext4 writes a
    // file out when it is closed after being truncated, once per run.
    remove(name);
    FILE *file = fopen(name, "wb");
    if (!file)
        return false;
    bool ok = fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

// Compared byte by byte rather than with memcmp: libFuzzer intercepts
// memcmp, which made this search a good part of each run, and takes what it
// compares for its dictionary, which led the mutations to these very names.
static bool startsWith(const uint8_t *data, size_t size, const char *prefix)
{
    size_t i = 0;
    for (; prefix[i]; i++)
        if (i >= size || data[i] != static_cast<uint8_t>(prefix[i]))
            return false;
    return true;
}

bool namesSystemFile(const uint8_t *data, size_t size)
{
    static const char *const PREFIXES[] = {"/dev", "/proc", "/sys"};
    for (const uint8_t *at = data, *end = data + size;
         (at = static_cast<const uint8_t *>(memchr(at, '/', static_cast<size_t>(end - at)))); at++)
        for (const char *prefix : PREFIXES)
            if (startsWith(at, static_cast<size_t>(end - at), prefix))
                return true;
    return false;
}

void freshDatabase()
{
    if (!arenaBase && !allocateArena())
        abort();
    resetDatabase();
    resetDeclarationState();   // a program compiles once; each input is a fresh program
}

void releaseDatabase()
{
    resetDatabase();
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

void playTurns(int turns)
{
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
