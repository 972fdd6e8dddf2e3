// Action execution and the built-in verbs.
#pragma once

#include "core/database/game_database.h"

// Moves a defined object to a location value (UNCHANGED allowed) and keeps
// carriedCount equal to the number of objects carried or worn.
void moveObject(int object, int16_t location);

// Work done by actions since the walker last cleared it: one for every
// object or exit that moveall, subst and the like looked at.
extern long actionWork;

// Runs the 16 slots of an action record; returns a RESULT_ code.
int executeActions(const RuleRecord &record);

// The built-in verbs: a TurnResult (TURN_NOT_BUILTIN when none takes the
// command).
int runBuiltinVerb(int verb, int noun);

// Asks the two quit questions (saving when wanted); true to quit.
bool confirmQuit();
