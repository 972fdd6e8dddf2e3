// Fuzz target: the compiled game loader on one file (gzip or plain); a game
// that loads is started and played for a few turns, so that damaged rule
// records and operands are executed too. The file's last bytes double as the
// answers and the word choices of the play.
#include <cstdio>

#include "core/database/compiled_game.h"
#include "core/database/game_database.h"
#include "core/interpreter/rule_walker.h"
#include "core/interpreter/session.h"
#include "fuzz/fuzz_support.h"

constexpr size_t SCRIPT_BYTES = 24;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    enterFuzzFolder();
    silenceOutput();
    setScanWorkLimit(FUZZ_SCAN_WORK);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!writeFuzzFile("game.twk", data, size))
        return 0;
    freshDatabase();
    if (readCompiledGame("game.twk") == 0) {
        size_t scriptSize = size < SCRIPT_BYTES ? size : SCRIPT_BYTES;
        setScript(data + size - scriptSize, scriptSize);
        startGame();
        playTurns(12);
    }
    releaseDatabase();
    return 0;
}
