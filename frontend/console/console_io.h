// Shared state of the console front end's files: the byte output with its
// character set, and the end of standard input.
#pragma once

#include <cstddef>

// Writes bytes to standard output: as they are, or each byte from 0x80 up as
// the UTF-8 form of that Latin-1 character when the locale's character set is
// UTF-8 (decided once, on first use).
void consoleOutput(const char *bytes, size_t length);
void consoleOutputText(const char *text);

// Ends the output with a line end when its last line is unfinished.
void finishOutputLine();

// True once a read from standard input has met its end.
bool consoleInputEnded();
