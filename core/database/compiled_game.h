// The compiled game file: the whole database as a gzip stream.
#pragma once

// 0 written; -1 when the file cannot be written. The file is replaced only
// when all of it was written, so a failure keeps an older file intact.
int writeCompiledGame(const char *path);

// 0 loaded; -1 cannot be opened; -2 not a compiled game (or damaged). A
// refused file changes nothing in the database.
int readCompiledGame(const char *path);
