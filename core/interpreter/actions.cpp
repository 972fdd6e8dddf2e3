// Placeholder until actions and built-in verbs land.
#include "core/interpreter/actions.h"

int executeActions(const RuleRecord &) { return 0; }
int runBuiltinVerb(int, int) { return 0; }
bool confirmQuit() { return true; }
