// Code page 437 and Unicode: the bytes the font draws and the keyboard delivers.
#pragma once

#include <cstdint>

extern const uint16_t CODE_PAGE_437[256];

// The byte 32..255 that stands for a typed code point, or -1 when there is none.
int codePage437FromUnicode(uint32_t codePoint);
