// Game texts on a terminal: code page 437 bytes written so that none of them
// acts as a terminal control (no escape sequence, no C1 control, no bell).
#pragma once

#include <cstddef>
#include <cstdio>

// True when the character set of the environment's locale (LC_CTYPE) is
// UTF-8. Decided on the first call; the program's own locale is left as it was.
bool terminalIsUtf8();

// Writes length bytes of code page 437 text to out. The line end '\n' and
// printable ASCII stay as they are. In UTF-8 every other byte is written as
// the UTF-8 form of its code page 437 character, control bytes as their
// symbols (ESC as U+2190, DEL as U+2302); byte 0, which has none, is '?'.
// Otherwise the ten accented letters become their ISO 8859-1 bytes, other
// bytes from 0xA0 up stay raw, and the C0 controls, DEL and 0x80..0x9F (C1
// controls on an ISO 8859 terminal) become '?'.
void writeTerminalBytes(FILE *out, const char *bytes, size_t length, bool utf8);

// Writes a NUL-terminated text (null: nothing) in the terminal's character set.
void writeTerminalText(FILE *out, const char *text);

// A line typed on a UTF-8 terminal, made into the games' character set: each
// of the ten accented letters the kit knows becomes its code page 437 byte
// (so "café" finds the word the game declares), in place. Other bytes stay.
void typedToCodePage437(char *line);

// The same for a line typed on a terminal that is not UTF-8: the ten
// letters' ISO 8859-1 bytes become their code page 437 bytes.
void typedLatin1ToCodePage437(char *line);
