// The author's checker: findings about a game source, one line each in the
// form editors parse (FILE:LINE: error: TEXT), sorted into reading order.
#pragma once

#include <cstdint>

enum Severity { SEVERITY_ERROR, SEVERITY_WARNING, SEVERITY_NOTE };

// Where a finding comes from: the line's place in the whole reading (includes
// read where they stand), its file and its line number. Sequence 0 and
// file -1: the game as a whole.
struct SourcePlace {
    int sequence;
    int16_t file;
    int line;
};

// True while a source is read for checking: parsers and the rule compiler
// then report what they let through in silence.
extern bool checkMode;

// Starts a check of the game whose main source is fileName.
void beginCheck(const char *fileName);

// The reader's calls: a file opened (its index for later places), and each
// counted line before it is handled, as it was read.
int16_t checkFileOpened(const char *fileName);
void checkLineRead(int16_t file, int lineNumber, const char *line);

// The place of the line being handled now; an include line takes it back
// once the included file is read.
SourcePlace currentPlace();
void setCurrentPlace(SourcePlace place);

// Adds a finding at place; the text is formatted like printf.
void addFinding(SourcePlace place, Severity severity, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Adds a finding about the line being read now.
void addLineFinding(Severity severity, const char *format, ...) __attribute__((format(printf, 2, 3)));

// A compiler message for the current line in words: its section letter, code
// and the line as the reader holds it.
void checkCompilerMessage(char section, int code, const char *line);

// The origin of a numbered declaration line just accepted.
void checkDeclaration(char section, const char *line);

// Runs the checks of the whole game, prints every finding and the summary
// line; the exit status: 1 with at least one error, else 0.
int finishCheck();

// Where entries were declared (place sequence 0 when unknown).
SourcePlace locationPlace(int location);
SourcePlace objectPlace(int object);
SourcePlace messagePlace(int message);
SourcePlace showPlace(int show);
