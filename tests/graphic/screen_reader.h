// Test support for the graphical front end: games from source texts, and the
// headless frame read back as colours and as characters in the built-in font.
#pragma once

#include <string>

#include "frontend/graphic/library/graphics_library.h"

// Resets the database and reads a game source held in a string, with the
// run-time fields as at the start of a game; true when it read without errors.
bool loadGameSource(const std::string &source);

// The red, green and blue of a screen pixel, as 0xRRGGBB.
GrColor pixelAt(int x, int y);

// The characters of count cells from (x, y), read by matching each 8 x 14
// cell against the font in the given foreground colour; '?' for a cell that
// matches no glyph. Only the first rows of each cell are compared.
std::string textAt(int x, int y, int count, GrColor foreground, int rows = GR_FONT_HEIGHT);

// Whether every pixel of (x1,y1)-(x2,y2) has the colour.
bool boxIs(int x1, int y1, int x2, int y2, GrColor colour);
