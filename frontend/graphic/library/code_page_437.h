// Code page 437 and Unicode: the bytes the font draws and the keyboard delivers.
#pragma once

#include <cstdint>

#include "core/driver/code_page_437.h"

// The byte 32..255 that stands for a typed code point, or -1 when there is none.
int codePage437FromUnicode(uint32_t codePoint);
