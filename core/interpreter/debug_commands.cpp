// Placeholder until debug commands land.
#include "core/interpreter/debug_commands.h"

bool debugCommand(const char *) { return false; }
