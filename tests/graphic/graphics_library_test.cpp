// The drawing layer on its headless backend: boxes, pixels, copies, surfaces,
// clipping, the built-in font, colours and the key queue.
#include <gtest/gtest.h>

#include <cstring>

#include "frontend/graphic/library/code_page_437.h"
#include "frontend/graphic/library/font_8x14.h"
#include "frontend/graphic/library/graphics_library.h"
#include "tests/graphic/screen_reader.h"

namespace {

constexpr GrColor RED = 0xFF0000;

struct Library : ::testing::Test {
    void SetUp() override { grSetMode(GR_SCREEN_WIDTH, GR_SCREEN_HEIGHT, 24); }
    void TearDown() override { grSetTextMode(); }
};

int count(GrColor colour)
{
    int n = 0;
    for (int y = 0; y < GR_SCREEN_HEIGHT; y++)
        for (int x = 0; x < GR_SCREEN_WIDTH; x++) n += pixelAt(x, y) == colour;
    return n;
}

TEST_F(Library, BoxesIncludeBothCornersAndAreClipped)
{
    EXPECT_EQ(count(0), GR_SCREEN_WIDTH * GR_SCREEN_HEIGHT);
    grFilledBox(20, 15, 10, 10, RED);            // corners in any order
    EXPECT_EQ(count(RED), 11 * 6);
    EXPECT_TRUE(boxIs(10, 10, 20, 15, RED));
    grClearScreen(0);
    grBox(0, 0, 384, 256, RED);
    EXPECT_EQ(count(RED), 2 * 385 + 2 * 255);
    EXPECT_EQ(pixelAt(384, 256), RED);
    grClearScreen(0);
    grFilledBox(-50, -50, 2, 2, RED);
    grFilledBox(790, 590, 900, 900, RED);
    grPlot(-1, 5, RED);
    grPlot(800, 5, RED);
    EXPECT_EQ(count(RED), 9 + 100);
    EXPECT_EQ(grPixel(-1, 0), 0u);
}

TEST_F(Library, ScreenCopiesMayOverlap)
{
    for (int y = 0; y < 40; y++) grFilledBox(0, y, 9, y, (GrColor)y);
    grBitBlt(0, 0, 0, 16, 9, 39);                // up, as the text window scrolls
    for (int y = 0; y < 24; y++) EXPECT_EQ(grPixel(5, y), (GrColor)(y + 16)) << y;
    EXPECT_EQ(grPixel(5, 30), 30u);              // rows below the target keep their pixels
    for (int y = 0; y < 40; y++) grFilledBox(0, y, 9, y, (GrColor)y);
    grBitBlt(2, 10, 0, 0, 9, 29);                // down and to the right
    for (int y = 0; y < 30; y++) EXPECT_EQ(grPixel(2, y + 10), (GrColor)y) << y;
    grBitBlt(795, 595, 0, 0, 9, 9);              // clipped at the screen's edge
    EXPECT_EQ(grPixel(799, 599), 4u);
}

TEST_F(Library, SurfacesDrawOffScreenAndCopyToTheScreen)
{
    GrSurface *canvas = grCreateSurface(384, 256);
    ASSERT_NE(canvas, nullptr);
    grSetDrawTarget(canvas);
    grClearContext(0x123456);
    grPlot(383, 255, RED);
    grPlot(384, 0, RED);                         // outside the canvas
    EXPECT_EQ(grPixel(383, 255), RED);
    EXPECT_EQ(grPixel(0, 0), 0x123456u);
    EXPECT_EQ(grScreenPixel(0, 0), 0u);          // the screen is untouched
    grSetDrawTarget(nullptr);
    grBitBltFromSurface(0, 0, canvas, 0, 0, 383, 255);
    EXPECT_EQ(pixelAt(0, 0), 0x123456u);
    EXPECT_EQ(pixelAt(383, 255), RED);
    EXPECT_EQ(pixelAt(384, 0), 0u);
    grSetDrawTarget(canvas);
    grDestroySurface(canvas);                    // the screen becomes the target again
    grPlot(1, 1, RED);
    EXPECT_EQ(pixelAt(1, 1), RED);
    EXPECT_EQ(grCreateSurface(0, 10), nullptr);
}

TEST_F(Library, ClipBoxLimitsDrawing)
{
    grSetClipBox(10, 10, 19, 19);
    grFilledBox(0, 0, 100, 100, RED);
    EXPECT_EQ(count(RED), 100);
    grResetClipBox();
    grPlot(0, 0, RED);
    EXPECT_EQ(pixelAt(0, 0), RED);
}

// Every code has a glyph of its own; only the codes that code page 437 leaves
// blank (0, the blank and 0xFF) draw nothing.
TEST(Font, EveryCodeDrawsItsOwnGlyph)
{
    auto blank = [](int code) { return code == 0x00 || code == 0x20 || code == 0xFF; };
    for (int code = 0; code < 256; code++) {
        bool drawn = false;
        for (int row = 0; row < 14; row++)
            drawn = drawn || FONT_8X14[code][row] != 0;
        EXPECT_EQ(drawn, !blank(code)) << std::hex << code;
        for (int other = 0; other < code; other++) {
            if (!blank(code) && !blank(other)) {
                EXPECT_NE(memcmp(FONT_8X14[code], FONT_8X14[other], 14), 0) << std::hex << other << " " << code;
            }
        }
    }
    // The double-line box characters are not their single-line forms: the
    // double vertical line has two strokes, the double horizontal two rows.
    const struct { int doubled, single; } boxes[] = {
        {0xBA, 0xB3}, {0xCD, 0xC4}, {0xC9, 0xDA}, {0xBB, 0xBF}, {0xC8, 0xC0},
        {0xBC, 0xD9}, {0xCE, 0xC5}, {0xCB, 0xC2}, {0xCA, 0xC1}, {0xCC, 0xC3}, {0xB9, 0xB4},
    };
    for (const auto &box : boxes)
        EXPECT_NE(memcmp(FONT_8X14[box.doubled], FONT_8X14[box.single], 14), 0) << std::hex << box.doubled;
    EXPECT_EQ(FONT_8X14[0xBA][0], 0x36);
    EXPECT_EQ(FONT_8X14[0xCD][5], 0xFF);
    EXPECT_EQ(FONT_8X14[0xCD][7], 0xFF);
}

TEST_F(Library, StringsAreOpaqueCellsOfTheVgaFont)
{
    // The VGA 8 x 14 shapes: 'A', the full block, and blank glyphs for 0 and 32.
    const uint8_t letterA[14] = {0x00, 0x00, 0x10, 0x38, 0x6C, 0xC6, 0xC6,
                                 0xFE, 0xC6, 0xC6, 0xC6, 0xC6, 0x00, 0x00};
    for (int row = 0; row < 14; row++) {
        EXPECT_EQ(FONT_8X14['A'][row], letterA[row]) << row;
        EXPECT_EQ(FONT_8X14[0xDB][row], 0xFF) << row;
        EXPECT_EQ(FONT_8X14[0][row], 0) << row;
        EXPECT_EQ(FONT_8X14[' '][row], 0) << row;
    }
    GrTextOption option = {RED, 0x0000FF};
    grDrawString("A\xDB", 2, 100, 50, &option);
    EXPECT_EQ(textAt(100, 50, 2, RED), "A\xDB");
    EXPECT_EQ(count(RED) + count(0x0000FF), 2 * 8 * 14);
    EXPECT_EQ(pixelAt(100, 50), 0x0000FFu);      // the cell's background is painted
    EXPECT_EQ(pixelAt(103, 52), RED);
}

TEST_F(Library, ColoursArePackedRgb)
{
    grResetColors();
    GrColor colour = grAllocColor(32, 32, 136);
    EXPECT_EQ(colour, 0x202088u);
    int red, green, blue;
    grQueryColor(0xB07040, &red, &green, &blue);
    EXPECT_EQ(red, 0xB0);
    EXPECT_EQ(green, 0x70);
    EXPECT_EQ(blue, 0x40);
    EXPECT_EQ(grAllocatedColorCount(), 1);
    grSetRGBColorMode();
    grResetColors();
    EXPECT_EQ(grAllocatedColorCount(), 0);
}

TEST_F(Library, KeysComeInOrderUntilTheWindowCloses)
{
    EXPECT_EQ(grKeyPressed(), 0);
    grTestPushText("ab");
    grTestPushKey(GR_KEY_F12);
    grTestCloseWindow();
    grTestPushKey('c');                          // nothing comes after the closing
    EXPECT_EQ(grKeyPressed(), 1);
    EXPECT_EQ(grKeyRead(), 'a');
    EXPECT_EQ(grKeyRead(), 'b');
    EXPECT_EQ(grKeyRead(), GR_KEY_F12);
    EXPECT_EQ(grWindowClosed(), 0);
    EXPECT_EQ(grKeyRead(), GR_KEY_CLOSED);
    EXPECT_EQ(grKeyRead(), GR_KEY_CLOSED);
    EXPECT_EQ(grWindowClosed(), 1);
    EXPECT_EQ(grKeyPressed(), 1);
    // A new window starts with an empty queue; a read past the script closes.
    grSetTextMode();
    grSetMode(GR_SCREEN_WIDTH, GR_SCREEN_HEIGHT, 24);
    EXPECT_EQ(grWindowClosed(), 0);
    EXPECT_EQ(grKeyRead(), GR_KEY_CLOSED);
}

TEST(CodePage437, TypedCharactersBecomeTheirBytes)
{
    struct Case {
        uint32_t codePoint;
        int code;
    } cases[] = {
        {'a', 'a'}, {' ', ' '}, {'~', '~'}, {0xE9, 0x82}, {0xE0, 0x85}, {0xA3, 0x9C},
        {0xB0, 0xF8}, {0x2302, 127}, {0xA0, 0xFF},
        {0xA7, -1}, {0x20AC, -1}, {0x0A, -1},     // a byte below 32, none, a control
    };
    for (const Case &c : cases) EXPECT_EQ(codePage437FromUnicode(c.codePoint), c.code) << c.codePoint;
}

}  // namespace
