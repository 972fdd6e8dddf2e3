// The compiled game file: the whole database as a gzip stream.
#pragma once

// 0 written; -1 when the file cannot be written.
int writeCompiledGame(const char *path);

// 0 loaded; -1 cannot be opened; -2 not a compiled game (or damaged).
int readCompiledGame(const char *path);
