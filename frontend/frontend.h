// The front-end operations: the only way the core shows texts to the player
// and asks for answers. Each program links exactly one implementation.
#pragma once

#include <cstdint>

// The version kind line of the help text ("Graphic version", ...).
extern const char FRONT_END_KIND[];

// Plays one game after another until the player leaves; returns 0.
int runSession();

// Runs the game tests of the file at path against the loaded game, with the
// file's seed or, when seedGiven, with seed; returns the exit status. Only
// the console runs them; the window says so and returns 1.
int runGameTests(const char *path, int seedGiven, uint64_t seed);

// Prepares for a new game: the console matches the terminal's character
// set, the window draws its layout and forgets the command history.
void beginGame();

// Graphical only: open and close the window (the console has neither step).
int openScreen();
int closeScreen();

// Describes a location; showNow is 1 for look, restore, redesc and the
// session, 0 after a move. -1 when the location has no name, else 0.
int showLocation(int location, int showNow);

// Lists what the player carries.
int showInventory();

// Writes an object's description, or system message 7 when it has none;
// -1 when the object has no name.
int examineObject(int object);

// Writes a text in the main text area.
int printText(const char *text);

// Write message / system message / show n when defined; otherwise nothing.
int showMessage(int number);
int showSystemMessage(int number);
int showShow(int number);

// Asks a yes/no question (null: "(y/n)? " from the game's letters): 1 yes, 0 no.
int askYesNo(const char *question);

// Asks for a digit 1..highest (null question: "(1:%d): "); 0 = cancelled.
// A negative highest forbids cancelling.
int askChoice(const char *question, int highest);

// Shows the prompt and reads one command (NUL-terminated) into buffer; -1
// at the end of the input or when the window was closed, else 0.
int readLine(char *buffer, int limit);

// The common output path of every text: word wrap, backslash breaks and
// variable substitution. Graphical: the x offset after the last line.
int writeText(const char *text);

// Pauses for the pause action (milliseconds; 0 = until a key).
void waitKey(int milliseconds);

// Clears the main text area.
int clearText();
