// Placeholder until the rule walker lands.
#include "core/interpreter/rule_walker.h"

int runEvents(int) { return 0; }
ActionScan scanActions(int, int, int, int) { return ActionScan{true, 1, false, false}; }
int evaluateConditions(const RuleRecord &, int, int, int, int, int) { return 1; }
