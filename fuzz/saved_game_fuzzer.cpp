// Fuzz target: a saved game restored into the demo game at the start of a
// game, followed by a few turns from the restored state.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/database/game_database.h"
#include "core/driver/startup.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "fuzz/fuzz_support.h"

// Yes to "restore?", position 1, then the word choices of the turns.
static const uint8_t ANSWERS[] = {1, 1, 0, 0, 1, 2, 2, 3, 5, 1, 7, 4, 9, 6, 3, 8, 11, 2, 13, 5};

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    enterFuzzFolder();
    silenceOutput();
    setScanWorkLimit(FUZZ_SCAN_WORK);
    freshDatabase();
    if (!compileProjectSource("games/demo.adv"))
        abort();
    strcpy(gameName, "demo");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!writeFuzzFile("demo.sv1", data, size))
        return 0;
    setScript(ANSWERS, sizeof ANSWERS);
    startGame();
    playTurns(8);
    return 0;
}
