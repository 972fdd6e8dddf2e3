// Shared state of the console front end's files: the byte output with its
// character set, and the end of standard input.
#pragma once

#include <cstddef>

// Writes bytes to standard output with writeTerminalBytes, in UTF-8 when the
// locale's character set is UTF-8: no byte reaches the terminal as a control.
void consoleOutput(const char *bytes, size_t length);
void consoleOutputText(const char *text);

// Ends the output with a line end when its last line is unfinished.
void finishOutputLine();

// True once a read from standard input has met its end.
bool consoleInputEnded();
