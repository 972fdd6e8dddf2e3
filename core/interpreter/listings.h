// Descriptions and listings, variable substitution and the Latin-1 conversion.
#pragma once

#include <cstddef>

constexpr int LIST_BUFFER_SIZE = 1024;

// Description, objects present and exits of a location.
void listLocation(int location);

// The inventory line.
void listInventory();

// Copies text to out (at most outSize bytes, NUL included) with every
// %name% replaced by the variable's value and %% by %.
void substituteVariables(const char *text, char *out, size_t outSize);

// Converts the used arena from code page 437 to ISO 8859-1 (ten letters).
void convertToLatin1();
