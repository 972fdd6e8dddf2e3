// Test support for the graphical front end: source games and frame read-back.
#include "tests/graphic/screen_reader.h"

#include <cstdio>

#include "core/compiler/source_reader.h"
#include "core/database/game_database.h"

bool loadGameSource(const std::string &source)
{
    if (!arenaBase && !allocateArena()) return false;
    resetDatabase();
    FILE *file = fmemopen(const_cast<char *>(source.data()), source.size(), "r");
    if (!file) return false;
    int outcome = readSourceFile(file, "game.adv");
    fclose(file);
    // The run-time fields as a new game has them, without the restore question.
    for (int location = 0; location <= lastLocation; location++) {
        for (int16_t &exit : locations[location].currentExits) exit = UNCHANGED;
        locations[location].currentLight = UNCHANGED;
    }
    for (int object = 0; object <= lastObject; object++)
        objects[object].currentLocation = objects[object].initialLocation;
    return outcome >= 0;
}

GrColor pixelAt(int x, int y)
{
    return grTestFrame()[y * GR_SCREEN_WIDTH + x];
}

static bool cellMatches(int x, int y, unsigned char code, GrColor foreground, int rows)
{
    const uint8_t *glyph = grGlyph(code);
    for (int row = 0; row < rows; row++)
        for (int column = 0; column < GR_FONT_WIDTH; column++) {
            bool lit = pixelAt(x + column, y + row) == foreground;
            if (lit != ((glyph[row] & (0x80 >> column)) != 0)) return false;
        }
    return true;
}

std::string textAt(int x, int y, int count, GrColor foreground, int rows)
{
    std::string text;
    for (int i = 0; i < count; i++) {
        int cellX = x + i * GR_FONT_WIDTH;
        char found = '?';
        // Printable ASCII first, so that a blank reads as ' ', not as 0 or 255.
        for (int code = 32; code < 32 + 256; code++) {
            unsigned char c = (unsigned char)(code & 255);
            if (cellMatches(cellX, y, c, foreground, rows)) {
                found = (char)c;
                break;
            }
        }
        text += found;
    }
    return text;
}

bool boxIs(int x1, int y1, int x2, int y2, GrColor colour)
{
    for (int y = y1; y <= y2; y++)
        for (int x = x1; x <= x2; x++)
            if (pixelAt(x, y) != colour) return false;
    return true;
}
