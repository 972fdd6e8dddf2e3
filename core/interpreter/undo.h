// Undo and redo: the run-time state before each turn, kept as the changes
// each turn made, so that the last turns can be taken back and done again.
#pragma once

constexpr int UNDO_TURNS = 100;                     // turns that can be taken back at least
constexpr long UNDO_MEMORY = 16L << 20;             // bytes the changes may take at most

// Forgets every kept turn and frees their memory (a new game, the end).
void resetUndo();

// A turn for command is about to run: what the turn before it changed is
// kept, and the state now is the one \undo goes back to.
void beginUndoTurn(const char *command);

// Takes back the last turn (with what ran after it); false when none is kept.
// command receives its text.
bool undoTurn(char *command, int size);

// Does the last undone turn again; false when none is left.
bool redoTurn(char *command, int size);

// Runs a line that begins with a backslash: \undo, \redo, \help or another
// word (the list of commands).
void runKitCommand(const char *line);
