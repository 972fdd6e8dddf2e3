// Fuzz target: the picture decoder drawing one file into the picture window
// of the headless drawing layer.
#include <cstdio>

#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/pictures.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    enterFuzzFolder();
    freshDatabase();
    openScreen();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!writeFuzzFile("picture.png", data, size))
        return 0;
    loadPicture("picture.png");
    return 0;
}
