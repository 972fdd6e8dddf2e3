// Helpers of the fuzz targets: a private work folder, input files, the
// fixed games that some targets start from, and the answers script.
#pragma once

#include <cstddef>
#include <cstdint>

// Creates a private temporary folder once and makes it the current folder,
// so that every file a target writes or opens by a relative name is there.
void enterFuzzFolder();

// Writes bytes to a file of the current folder; false when it cannot.
bool writeFuzzFile(const char *name, const uint8_t *data, size_t size);

// True when the bytes name a device or kernel file (an include of
// /dev/stdin or /dev/zero waits or reads forever, which is no finding).
bool namesSystemFile(const uint8_t *data, size_t size);

// Allocates the arena once; then empties the database and forgets the
// declaration parsers' current entries.
void freshDatabase();

// Compiles a source file of the project tree into the database; true when
// it compiled without errors. Compiler output goes to standard output.
bool compileProjectSource(const char *relativePath);

// Standard output is thrown away (compiler findings, console text).
void silenceOutput();

// The answers of the scripted front end: bytes taken in order; when they
// run out every question gets 0 ('no', cancel, empty line).
void setScript(const uint8_t *data, size_t size);
int nextScriptByte();
// The next line of the script (up to a line end or the end), NUL-terminated.
void nextScriptLine(char *buffer, int limit);

// Plays up to `turns` turns of the loaded game as the console session does:
// events between turns, a verb and nouns per turn picked from the game's own
// word tables by script bytes. Stops when the game ends; a game with while
// loops plays two turns at most, as a loop that never ends is slow to end.
void playTurns(int turns);

// Whether the event or action table holds a while record.
bool gameHasLoops();
