// Fuzz target: the source compiler on one game source (an optional second
// file after the first NUL byte is there to be included as "inc.adv"). One
// input in four (by its length) is checked as --check does; the others are
// compiled and, when they compile, played for a few turns. Each input takes
// one of the two ways, so that a run reads its source once; a check costs
// about two compiles, and the checker is a small part of the reader's code.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/compiler/checker.h"
#include "core/compiler/source_reader.h"
#include "core/database/game_database.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "fuzz/fuzz_support.h"

// Bytes of included files one input may read. A source that includes itself
// twice is read up to 256 times (the reader's own budget); here it gets
// about 17 readings of a 2 KB source and 3 of the largest seed, at most a
// few milliseconds, and a small file still nests to the reader's limit.
constexpr long INCLUDE_BYTES = 32768;
static long includedBytes = 0;

// The target is linked with -Wl,--wrap for openRegularFile (mangled name),
// so that the reader's includes come here: an include beyond the budget
// cannot be opened, which the reader reports as it does at its own limits.
extern "C" FILE *__real__Z15openRegularFilePKc(const char *path);

extern "C" FILE *__wrap__Z15openRegularFilePKc(const char *path)
{
    FILE *file = __real__Z15openRegularFilePKc(path);
    if (!file)
        return nullptr;
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || includedBytes + status.st_size > INCLUDE_BYTES) {
        fclose(file);
        errno = EFBIG;
        return nullptr;
    }
    includedBytes += status.st_size;
    return file;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    enterFuzzFolder();
    silenceOutput();
    setScanWorkLimit(FUZZ_SCAN_WORK);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (namesSystemFile(data, size))
        return -1;
    const uint8_t *split = static_cast<const uint8_t *>(memchr(data, 0, size));
    size_t sourceSize = split ? static_cast<size_t>(split - data) : size;
    if (!writeFuzzFile("game.adv", data, sourceSize))
        return 0;
    if (split && !writeFuzzFile("inc.adv", split + 1, size - sourceSize - 1))
        return 0;
    if (!split)
        remove("inc.adv");

    freshDatabase();
    includedBytes = 0;
    FILE *file = fopen("game.adv", "r");
    if (!file)
        return 0;
    if (size % 4 == 1) {
        beginCheck("game.adv");
        readSourceFile(file, "game.adv");
        fclose(file);
        finishCheck();
    } else {
        int outcome = readSourceFile(file, "game.adv");
        fclose(file);
        if (outcome >= 0) {
            setScript(nullptr, 0);
            startGame();
            playTurns(8);
        }
    }
    releaseDatabase();
    return 0;
}
