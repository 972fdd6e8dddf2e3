// Helpers of the fuzz targets: a private work folder, input files, the
// fixed games that some targets start from, and the answers script.
#pragma once

#include <cstddef>
#include <cstdint>

// The walker's work bound per scan in the fuzz targets, set at start-up. A
// loop that never ends then stops after about half a millisecond here (a
// game stuck in one meets it on every turn), while loops of some hundred
// rounds and tables of a few thousand records still run to their end.
constexpr long FUZZ_SCAN_WORK = 5000;

// Creates a private temporary folder once (in /dev/shm when there is one,
// else /tmp) and makes it the current folder, so that every file a target
// writes or opens by a relative name is there.
void enterFuzzFolder();

// Writes bytes to a new file of the current folder (an older one of the
// name is removed first); false when it cannot.
bool writeFuzzFile(const char *name, const uint8_t *data, size_t size);

// True when the bytes name a file under /dev, /proc or /sys. Opening a
// device can act on it (a pseudo-terminal, a latency request), and some
// kernel files are regular files whose reading waits (/proc/kmsg).
bool namesSystemFile(const uint8_t *data, size_t size);

// Allocates the arena once; then empties the database and forgets the
// declaration parsers' current entries.
void freshDatabase();

// Frees the tables an input built. An input that leaves memory allocated
// for the next one to free is run a second time by libFuzzer's leak
// detection; one whose allocations balance is run once.
void releaseDatabase();

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
// word tables by script bytes. Stops when the game ends.
void playTurns(int turns);
