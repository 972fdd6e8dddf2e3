// The transcript: a record of a session as the player saw it, appended to a
// UTF-8 text file: every text shown and, after each prompt or question, the
// line the player typed.
#pragma once

#include <cstddef>

// Opens path for appending and writes the header line (the game, the kit's
// version, the date and the seed); false when it cannot be opened.
bool openTranscript(const char *path, const char *gameName);

// Whether a transcript is being written.
bool transcriptActive();

// Text shown to the player, in the games' code page 437 bytes.
void transcriptShown(const char *bytes, size_t length);
void transcriptShownText(const char *text);

// A line the player typed (without its line end), as the terminal or window
// gave it: UTF-8 stays, other bytes are taken as Latin-1.
void transcriptTyped(const char *line);

// Ends the record (a line end after an open line) and closes the file.
void closeTranscript();
