// The built-in 8 x 14 font: 256 glyphs in the code page 437 layout.
#pragma once

#include <cstdint>

// Row r of glyph c is FONT_8X14[c][r]; bit 7 is the leftmost pixel.
extern const uint8_t FONT_8X14[256][14];
