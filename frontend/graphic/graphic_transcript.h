// The window's side of the transcript: its texts in the console's lines and
// the keys typed in it, so that both programs keep the same record.
#pragma once

// Writes a text to the transcript (when one is open) as the console writes
// it: variables substituted, lines of at most 79 characters broken at blanks
// and backslashes, each with its line end.
void transcribeText(const char *text);

// Writes a line typed in the window (code page 437 bytes, as the keys came)
// with its line end.
void transcribeTyped(const char *line);
