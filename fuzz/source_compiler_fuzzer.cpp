// Fuzz target: the source compiler on one game source (an optional second
// file after the first NUL byte is there to be included as "inc.adv"); a
// source that compiles and has no loops is then played for a few turns.
#include <cstdio>
#include <cstring>

#include "core/compiler/source_reader.h"
#include "core/database/game_database.h"
#include "core/interpreter/session.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    enterFuzzFolder();
    silenceOutput();
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
    FILE *file = fopen("game.adv", "r");
    if (!file)
        return 0;
    int outcome = readSourceFile(file, "game.adv");
    fclose(file);
    // Loops are played by the compiled game target; here they would spend
    // the time that compiling needs (a runaway loop is a million jumps).
    if (outcome >= 0 && !gameHasLoops()) {
        setScript(nullptr, 0);
        startGame();
        playTurns(8);
    }
    return 0;
}
