// Placeholder until the compiled game file lands.
#include "core/database/compiled_game.h"

int writeCompiledGame(const char *) { return -1; }
int readCompiledGame(const char *) { return -1; }
