// The saved game file: the run-time state of the tables (object locations,
// variable values, exits and light) and of the session, in one file.
#pragma once

#include <cstdint>

// What a saved game holds beside the tables.
struct SessionState {
    int16_t playerLocation;
    int16_t carriedCount;       // as stored; the objects say what is carried
};

// Writes the tables' state and session to path, whole or not at all: 0 when
// written, -1 otherwise.
int writeSavedGame(const char *path, const SessionState *session);

// Reads path and, when it holds a sound saved game of this game, applies it
// to the tables and session: 0. -1 when there is no such file, -2 when it
// cannot be read or is refused; nothing changes then.
int readSavedGame(const char *path, SessionState *session);
