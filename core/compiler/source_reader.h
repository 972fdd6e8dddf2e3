// The source reader: lines, sections, comments, includes, scrambling.
#pragma once

#include <cstdio>

// Reads one source file; 0 clean, 1 warnings only, -1 errors.
int readSourceFile(FILE *file, const char *fileName);

// Prints a finding in the two-line format; returns 0.
int error(const char *line, int code, int lineNumber, const char *fileName);

// The next comma field of a modifiable text; nullptr when none is left.
char *nextField(char **cursor);
