// Placeholder until saved games land.
#include "core/database/saved_game.h"

int saveGame() { return -1; }
int restoreGame() { return -1; }
