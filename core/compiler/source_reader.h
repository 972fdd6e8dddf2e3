// The source reader: lines, sections, comments, includes, scrambling.
#pragma once

#include <cstdio>

constexpr int LINE_BUFFER_SIZE = 512;   // bytes of the line buffer
constexpr int LINE_READ_LIMIT = 510;    // characters taken by one read
constexpr unsigned char SPLIT_MARKER = 0xFF;  // ends the first piece of a split line
constexpr int MAX_SOURCE_FILES = 16;    // source files open at once, the game's own included
constexpr int MAX_INCLUDED_FILES = 256; // include lines followed in one reading of a game
// Bytes read from one source file at most: a file that goes on beyond it is
// refused as unreadable. Far beyond any game: every table full, at 100 bytes
// a line, takes under 32 MiB.
constexpr long MAX_SOURCE_BYTES = 64L << 20;

// Reads one source file; 0 clean, 1 warnings only, -1 errors.
int readSourceFile(FILE *file, const char *fileName);

// Prints a finding in the two-line format; returns 0.
int error(const char *line, int code, int lineNumber, const char *fileName);

// The next comma field of a modifiable text; nullptr when none is left.
char *nextField(char **cursor);

// A decimal number: leading blanks and tabs skipped, an optional sign, digits
// up to the first other character; 0 without digits. Saturates at the int range.
int readNumber(const char *text);
