// The graphical screen read back pixel by pixel: colours, frames, the text
// layout in the four windows and the output operations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/pictures.h"
#include "tests/graphic/screen_reader.h"

namespace {

constexpr GrColor WHITE = 0xF0F0F0;   // colour 15, the default text colour
constexpr GrColor BLACK = 0x000000;   // colour 0, the default background
constexpr int BOTTOM = 580;           // top of the main window's bottom line
constexpr int ABOVE = 564;

// Twenty-five numbered lines joined by forced breaks: L01 ... L25.
std::string longDescription()
{
    std::string text;
    for (int i = 1; i <= 25; i++) {
        char line[8];
        snprintf(line, sizeof line, "L%02d", i);
        text += (i > 1 ? "\\" : "") + std::string(line);
    }
    return text;
}

std::string gameSource(const std::string &systemLines)
{
    return "[System]\n" + systemLines +
           "ShowExits=0\n"
           "[Sysmsg]\n"
           "#7,Nothing special.\n"
           "[Locations]\n"
           "#0,Darkness,dark.png,0\n"
           "It is pitch dark.\n"
           "#1,Hall,hall.png,0\n"
           "A hall.\n"
           "#2,Gallery,,0\n" + longDescription() + "\n"
           "#3,Cellar,cellar.png,1\n"
           "A cellar.\n"
           "#4,Attic,attic.png,0\n"
           "#5,The great hall of the kings of the north where the banners hang from the old beams blackened by smoke,,0\n"
           "A long hall.\n"
           "[Objects]\n"
           "#1,lamp,9,0\n"
           "A brass lamp.\n"
           "#2,coin,9,0\n"
           "[Messages]\n"
           "#1,Message one.\n"
           "[Shows]\n"
           "#1,scene.png\n"
           "A scene.\n"
           "[Vars]\n"
           "score\n";
}

struct Screen : ::testing::Test {
    void open(const std::string &systemLines = "")
    {
        ASSERT_TRUE(loadGameSource(gameSource(systemLines)));
        openScreen();
    }
    void TearDown() override { closeScreen(); }

    // The text of the main window's line with top y, blanks cut at the end.
    static std::string mainLine(int y)
    {
        std::string text = textAt(4, y, 99, WHITE);
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }
};

TEST_F(Screen, FramesAreDrawnOnTheBackgroundInTheTextColour)
{
    open();
    // Every corner of every outline is part of it.
    const int lit[][2] = {{0, 0}, {384, 0}, {384, 256}, {0, 256}, {0, 320}, {384, 320},
                          {799, 0}, {799, 320}, {0, 599}, {799, 599}, {200, 256}, {600, 320}};
    for (const auto &p : lit) EXPECT_EQ(pixelAt(p[0], p[1]), WHITE) << p[0] << "," << p[1];
    EXPECT_TRUE(boxIs(0, 0, 799, 0, WHITE));
    EXPECT_TRUE(boxIs(384, 0, 384, 320, WHITE));
    EXPECT_TRUE(boxIs(0, 320, 799, 320, WHITE));
    EXPECT_TRUE(boxIs(799, 0, 799, 599, WHITE));
    // Inside the frames, and beside the heading's bottom edge, the background.
    const int dark[][2] = {{1, 1}, {383, 255}, {1, 257}, {383, 319}, {385, 1},
                           {798, 319}, {1, 321}, {798, 598}, {385, 256}};
    for (const auto &p : dark) EXPECT_EQ(pixelAt(p[0], p[1]), BLACK) << p[0] << "," << p[1];
}

TEST_F(Screen, GameColoursFillClearedAreasAndCharacterCells)
{
    struct Case {
        const char *settings;
        GrColor background, text;
    } cases[] = {
        {"", 0x000000, 0xF0F0F0},
        {"BgColor=1\n", 0x202088, 0xF0F0F0},
        {"BgColor=8\nFgColor=7\n", 0xB0B0B0, 0x707070},
        {"BgColor=14\nFgColor=9\n", 0xD0D040, 0x4040D0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.settings);
        open(c.settings);
        EXPECT_EQ(backgroundColour, c.background);
        EXPECT_EQ(textColour, c.text);
        EXPECT_EQ(pixelAt(100, 100), c.background);
        EXPECT_EQ(pixelAt(0, 599), c.text);
        printText("A");
        EXPECT_EQ(textAt(4, BOTTOM, 1, c.text), "A");
        EXPECT_EQ(pixelAt(4, BOTTOM), c.background);   // the cell's top left is not part of the glyph
        closeScreen();
    }
}

TEST_F(Screen, MainWindowScrollsLikeATerminal)
{
    open();
    printText("A");
    printText("B");
    EXPECT_EQ(mainLine(BOTTOM), "B");
    EXPECT_EQ(mainLine(ABOVE), "A");
    for (int i = 0; i < 20; i++) printText("x");
    // The top line is gone; nothing spilled over the frame above the box.
    EXPECT_EQ(mainLine(324), "x");
    EXPECT_TRUE(boxIs(0, 320, 799, 320, WHITE));
}

TEST_F(Screen, LinesWrapAtTheWindowWidth)
{
    const std::string x99(99, 'x'), x98(98, 'x');
    struct Case {
        std::string text, above, bottom;
    } cases[] = {
        {x99, "", x99},                                   // exactly as wide as the box: one line
        {x99 + "x", "", x99},                             // the word loses what does not fit
        {"a " + x99, "a", x98},                           // the blank before the word counts
        {std::string(49, 'p') + " " + std::string(49, 'q'), "", std::string(49, 'p') + " " + std::string(49, 'q')},
        {std::string(50, 'p') + " " + std::string(49, 'q'), std::string(50, 'p'), std::string(49, 'q')},
        {"two  blanks stay", "", "two  blanks stay"},
    };
    open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        clearText();
        printText(c.text.c_str());
        EXPECT_EQ(mainLine(ABOVE), c.above);
        EXPECT_EQ(mainLine(BOTTOM), c.bottom);
    }
}

TEST_F(Screen, BackslashesForceLineBreaks)
{
    struct Case {
        const char *text;
        const char *lines[3];     // tops 548, 564, 580
    } cases[] = {
        {"one\\two", {"", "one", "two"}},
        {"one\\\\two", {"one", "", "two"}},
        {"one\\", {"", "one", ""}},
    };
    open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        clearText();
        printText(c.text);
        for (int i = 0; i < 3; i++) EXPECT_EQ(mainLine(548 + 16 * i), c.lines[i]) << i;
    }
}

TEST_F(Screen, WriteTextReturnsTheOffsetAfterTheLastLine)
{
    open();
    currentWindow = MAIN_WINDOW;
    outputFlags = SCROLL_UP | BOTTOM_LINE | CLEAR_LINE;
    EXPECT_EQ(writeText("(y/n)? "), 56);              // the trailing blank counts
    EXPECT_EQ(writeText("first line\\ab"), 16);
    EXPECT_EQ(writeText(nullptr), 0);
    EXPECT_EQ(writeText(""), 0);
    outputFlags = BOTTOM_LINE | CLEAR_LINE;
    EXPECT_EQ(writeTextAt("y", 56), 64);
}

TEST_F(Screen, TextsLongerThanTheWorkingBufferAreCut)
{
    open();
    // 2,040 + 1 + 10 bytes: the buffer keeps 2,047 of them, so six z remain.
    std::string text = std::string(2040, 'y') + " " + std::string(10, 'z');
    printText(text.c_str());
    EXPECT_EQ(mainLine(BOTTOM), "zzzzzz");
    EXPECT_EQ(mainLine(ABOVE), std::string(99, 'y'));
}

TEST_F(Screen, DescriptionWindowShowsItsFirstTwentyLines)
{
    open();
    EXPECT_EQ(showLocation(2, 1), 0);
    for (int i = 0; i < 20; i++) {
        char line[8];
        snprintf(line, sizeof line, "L%02d", i + 1);
        // The last line's cells reach below the text box: its top 12 rows are shown.
        EXPECT_EQ(textAt(388, 4 + 16 * i, 3, WHITE, 12), line);
    }
    EXPECT_TRUE(boxIs(384, 320, 799, 320, WHITE));    // the frame stays whole
    EXPECT_TRUE(boxIs(1, 321, 798, 598, BLACK));      // L21 would start at 324: nothing there
}

TEST_F(Screen, HeadingShowsTheNameAndTheStatusLine)
{
    open("StatusLine=Score %score%\n");
    int score = findVariable("score");
    ASSERT_GT(score, 0);
    vars[score].value = 12;
    showLocation(1, 1);
    EXPECT_EQ(textAt(4, 260, 4, WHITE), "Hall");
    EXPECT_EQ(textAt(4, 300, 9, WHITE), "Score 12 ");
    EXPECT_EQ(textAt(388, 4, 7, WHITE), "A hall.");
    vars[score].value = 7;
    showLocation(4, 1);
    EXPECT_EQ(textAt(4, 260, 6, WHITE), "Attic ");
    EXPECT_EQ(textAt(4, 300, 9, WHITE), "Score 7  ");
    EXPECT_TRUE(boxIs(388, 4, 796, 316, BLACK));       // the attic has no description
}

// Neither piece of the heading is drawn over the other: the status line is
// cut to its one line, the name stops above it.
TEST_F(Screen, HeadingTextsKeepToTheirOwnLines)
{
    const std::string status = "Score %score% and turns and a great deal more to say about it";
    open("StatusLine=" + status + "\n");
    showLocation(5, 1);
    EXPECT_EQ(textAt(4, 260, 46, WHITE), "The great hall of the kings of the north where");
    EXPECT_EQ(textAt(4, 276, 45, WHITE), "the banners hang from the old beams blackened");
    EXPECT_TRUE(boxIs(4, 290, 380, 299, BLACK));           // no third name line
    EXPECT_EQ(textAt(4, 300, 47, WHITE), "Score 0 and turns and a great deal more to say ");

    // Without a status line the name may use the lines below.
    TearDown();
    open();
    showLocation(5, 1);
    EXPECT_EQ(textAt(4, 292, 8, WHITE), "by smoke");
}

TEST_F(Screen, DarkLocationShowsDarknessNameAndPicture)
{
    open();
    showLocation(3, 1);
    EXPECT_EQ(textAt(4, 260, 8, WHITE), "Darkness");
    EXPECT_EQ(textAt(388, 4, 17, WHITE), "It is pitch dark.");
    EXPECT_EQ(lastPictureName, textOf(locations[0].picture));
    showLocation(1, 1);
    EXPECT_EQ(lastPictureName, textOf(locations[1].picture));
    drawLayout();
    EXPECT_EQ(lastPictureName, nullptr);
}

TEST_F(Screen, ShowLocationWithoutShowNowDrawsNothing)
{
    open();
    EXPECT_EQ(showLocation(1, 0), 0);
    EXPECT_EQ(showLocation(77, 0), 0);
    EXPECT_TRUE(boxIs(1, 257, 383, 319, BLACK));
    EXPECT_TRUE(boxIs(385, 1, 798, 319, BLACK));
    EXPECT_EQ(showLocation(77, 1), -1);
    EXPECT_TRUE(boxIs(1, 257, 383, 319, BLACK));
}

TEST_F(Screen, OutputOperationsWriteInTheMainWindow)
{
    struct Case {
        const char *name;
        int (*operation)();
        const char *bottom;
    } cases[] = {
        {"examine with description", [] { return examineObject(1); }, "A brass lamp."},
        {"examine without description", [] { return examineObject(2); }, "Nothing special."},
        {"message", [] { return showMessage(1); }, "Message one."},
        {"message past the table", [] { return showMessage(5); }, ""},
        {"system message", [] { return showSystemMessage(7); }, "Nothing special."},
        {"undefined system message", [] { return showSystemMessage(31); }, ""},
        {"system message out of range", [] { return showSystemMessage(32); }, ""},
        {"show with picture", [] { return showShow(1); }, "A scene."},
        {"show without picture", [] { return showShow(2); }, ""},
        {"show past the table", [] { return showShow(3); }, ""},
    };
    open();
    growShows(2);
    shows[2].text = appendText("Not shown.", false);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clearText();
        EXPECT_EQ(c.operation(), 0);
        EXPECT_EQ(currentWindow, MAIN_WINDOW);
        EXPECT_EQ(mainLine(BOTTOM), c.bottom);
    }
    EXPECT_EQ(examineObject(5), -1);
    EXPECT_EQ(lastPictureName, textOf(shows[1].picture));
}

TEST_F(Screen, ClearTextEmptiesTheMainWindowOnly)
{
    open();
    showLocation(1, 1);
    printText("one\\two");
    lineOffset = 48;
    EXPECT_EQ(clearText(), 0);
    EXPECT_EQ(lineOffset, 0);
    EXPECT_EQ(outputFlags, CLEAR_WINDOW);
    EXPECT_TRUE(boxIs(4, 324, 796, 596, BLACK));
    EXPECT_EQ(textAt(388, 4, 7, WHITE), "A hall.");
}

}  // namespace
