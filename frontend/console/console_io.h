// Shared state of the console front end's files: the byte output with its
// character set, and the end of standard input.
#pragma once

#include <cstddef>
#include <cstdio>

// The streams the console reads and writes: standard input and output
// (nullptr), or a game test's commands and its record of the output. utf8 is
// -1 to follow the locale, else 0 or 1. A new input has not ended.
void setConsoleInput(FILE *in);
void setConsoleOutput(FILE *out, int utf8);

// Whether the console's texts go out, and its lines come in, in UTF-8.
bool consoleIsUtf8();

// Writes bytes to standard output with writeTerminalBytes, in UTF-8 when the
// locale's character set is UTF-8: no byte reaches the terminal as a control.
void consoleOutput(const char *bytes, size_t length);
void consoleOutputText(const char *text);

// Ends the output with a line end when its last line is unfinished.
void finishOutputLine();

// Told of every line the player typed (without its line end): the
// transcript records it, a running game test marks where its output starts.
void consoleLineTyped(const char *line);
void testLineTaken();

// Whether commands are read with line editing: standard input and output are
// terminals and the program has it.
bool lineEditingAvailable();

// Reads a command with line editing after the prompt (promptLength bytes of
// the game's text): at most limit - 1 bytes into buffer, the rest of a longer
// line kept for the next call. -1 at the end of the input.
int editLine(const char *prompt, size_t promptLength, char *buffer, int limit);
