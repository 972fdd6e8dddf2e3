// The graphical session on the headless backend: the turn cycle, the
// location panel before every command, debug replies, play again, closing.
#include <gtest/gtest.h>

#include <string>

#include "core/database/game_database.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/graphic/pictures.h"
#include "tests/graphic/screen_reader.h"

namespace {

constexpr GrColor WHITE = 0xF0F0F0;

const char GAME[] =
    "[System]\n"
    "StatusLine=Turns %turns%\n"
    "[Sysmsg]\n"
    "#1,What?\n"
    "#23,Restore?\n"
    "#24,Really quit?\n"
    "#25,Save first?\n"
    "#26,Play again?\n"
    "[Locations]\n"
    "#0,Darkness,,0\n"
    "#1,Hall,hall.png,0\n"
    "A hall.\n"
    "[Verbs]\n"
    "#23,quit\n"
    "[Vars]\n"
    "turns\n"
    "[Events]\n"
    "if not begin\n"
    "then add turns 1\n";

std::string line(int y, int cells)
{
    return textAt(4, y, cells, WHITE);
}

struct Session : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(loadGameSource(GAME));
        debugMode = 0;
    }
    // Runs the session over the keys; the window closes when they run out.
    static void play(const std::string &keys)
    {
        grSetTextMode();
        grSetMode(GR_SCREEN_WIDTH, GR_SCREEN_HEIGHT, 24);   // a new window: an empty key queue
        for (char c : keys) grTestPushKey(c == '\n' ? GR_KEY_RETURN : (unsigned char)c);
        EXPECT_EQ(runSession(), 0);
    }
};

TEST_F(Session, EventsRunAfterTurnsThatLetTimePass)
{
    play("n" "xyzzy\n" "\n");
    // The panel was redrawn before the last line: one turn has passed, the
    // empty line let no time pass.
    EXPECT_EQ(textAt(4, 260, 4, WHITE), "Hall");
    EXPECT_EQ(textAt(4, 300, 8, WHITE), "Turns 1 ");
    EXPECT_EQ(textAt(388, 4, 7, WHITE), "A hall.");
    EXPECT_EQ(line(516, 9), "Restore?n");
    EXPECT_EQ(line(532, 7), ">xyzzy ");
    EXPECT_EQ(line(548, 6), "What? ");
    EXPECT_EQ(line(564, 2), "> ");
    EXPECT_EQ(line(580, 2), ">_");      // the line being edited when the window closed
    EXPECT_EQ(grWindowClosed(), 1);
}

TEST_F(Session, DebugRepliesReplaceTheCommandLine)
{
    debugMode = 1;
    play("n" "%\n");
    EXPECT_EQ(line(548, 9), "Restore?n");
    EXPECT_EQ(line(564, 26), "Location 1, Objects 0 / 5 ");
    EXPECT_EQ(textAt(4, 300, 8, WHITE), "Turns 0 ");   // a debug command lets no time pass
}

TEST_F(Session, PlayingAgainStartsAFreshGameOnAFreshLayout)
{
    play("n" "xyzzy\n" "quit\n" "yn" "y" "n");
    EXPECT_EQ(textAt(4, 300, 8, WHITE), "Turns 0 ");
    EXPECT_EQ(line(564, 9), "Restore?n");
    EXPECT_EQ(line(548, 2), "  ");      // the old game's lines are gone
    EXPECT_EQ(lastPictureName, textOf(locations[1].picture));
}

TEST_F(Session, DecliningToPlayAgainEndsTheSession)
{
    play("n" "quit\n" "yn" "n" "never read");
    EXPECT_EQ(line(564, 12), "Save first?n");
    EXPECT_EQ(line(580, 12), "Play again?n");
    EXPECT_EQ(grWindowClosed(), 0);     // it ended by the answer, not by closing
}

}  // namespace
