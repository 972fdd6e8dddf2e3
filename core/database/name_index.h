// An index of the word and variable tables by their names, kept while a game
// source is read, so that its many look-ups need not scan the tables.
#pragma once

#include <cstddef>

enum NameTable { NAME_VERBS, NAME_NOUNS, NAME_VARS, NAME_TABLE_COUNT };

// Turns the index on (rebuilt from the tables as they are) or off (dropped).
// While it is on, rows may only be appended, never changed.
void setNameIndexing(bool on);
bool nameIndexing();

// The first of count rows, stride bytes apart from firstName on, whose
// 8-character name matches name as wordMatches does; -1 when none does.
// Rows appended since the last look-up are indexed first.
int indexedRow(NameTable table, const char *firstName, size_t stride, int count, const char *name);
