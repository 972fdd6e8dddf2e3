// The source writer: a game source recovered from the database as a compiled
// game file fills it, which compiles back to the same compiled file.
#pragma once

#include <cstdio>

// Writes the recovered source of the game in the database to out. Returns
// how many lines carry a note that the compiled file holds something no
// source can produce (written as the closest source), 0 when none does.
int writeRecoveredSource(FILE *out);
