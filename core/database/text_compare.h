// Case-insensitive comparisons by ASCII rules (bytes above 0x7F compare as
// they are), used for every word, key and keyword of the system.
#pragma once

#include <cstddef>

inline char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Whole texts equal, case aside.
bool equalsIgnoreCase(const char *a, const char *b);

// The first n characters agree, or both texts end together before that.
bool prefixEqualsIgnoreCase(const char *a, const char *b, size_t n);

// text starts with prefix, case aside.
bool startsWithIgnoreCase(const char *text, const char *prefix);
