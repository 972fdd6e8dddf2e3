// The line editor, the questions and the pause, driven by queued keys and
// read back from the headless frame.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/database/game_database.h"
#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/pictures.h"
#include "tests/graphic/screen_reader.h"

namespace {

constexpr GrColor WHITE = 0xF0F0F0;
constexpr GrColor BLACK = 0x000000;
constexpr int BOTTOM = 580;

struct Input : ::testing::Test {
    void SetUp() override { open(""); }
    void open(const std::string &systemLines)
    {
        closeScreen();
        ASSERT_TRUE(loadGameSource("[System]\n" + systemLines +
                                   "[Locations]\n#1,Hall,,0\n[Vars]\nscore\n"));
        openScreen();
        resetHistory();
    }
    void TearDown() override { closeScreen(); }

    static void keys(std::initializer_list<int> codes)
    {
        for (int code : codes) grTestPushKey(code);
    }
    static std::string typeLine(const std::string &text)
    {
        grTestPushText(text.c_str());
        grTestPushKey(GR_KEY_RETURN);
        char buffer[COMMAND_LIMIT + 1];
        readLine(buffer, COMMAND_LIMIT);
        return buffer;
    }
    static std::string bottomLine(int cells = 99)
    {
        return textAt(4, BOTTOM, cells, WHITE);
    }
};

TEST_F(Input, ReadLineReturnsTheTypedCommandWithoutCursor)
{
    EXPECT_EQ(typeLine("look"), "look");
    EXPECT_EQ(bottomLine(6), ">look ");
    EXPECT_EQ(outputFlags, BOTTOM_LINE | CLEAR_LINE);
    char buffer[COMMAND_LIMIT + 1];
    EXPECT_EQ(historyPrevious(buffer), 4);
    EXPECT_STREQ(buffer, "look");
}

TEST_F(Input, PromptStandsOnANewBottomLine)
{
    printText("Hello.");
    typeLine("n");
    EXPECT_EQ(textAt(4, BOTTOM - 16, 6, WHITE), "Hello.");
    EXPECT_EQ(bottomLine(3), ">n ");
    // Without a prompt the edit line gets a fresh line too.
    strcpy(settings.Prompt, "");
    typeLine("e");
    EXPECT_EQ(textAt(4, BOTTOM - 16, 3, WHITE), ">n ");
    EXPECT_EQ(bottomLine(2), "e ");
}

TEST_F(Input, EditingKeys)
{
    struct Case {
        const char *name;
        std::vector<int> keys;
        std::string line;
    } cases[] = {
        {"backspace on an empty line", {8, 8, 'a'}, "a"},
        {"backspace after two letters", {'a', 'b', 8}, "a"},
        {"code 127 is inserted", {'a', 127}, "a\x7f"},
        {"codes above 127 are too: the accented letters", {130, 'b', 255}, "\x82" "b\xff"},
        {"other keys are ignored", {9, 27, 331, 333, 327, 335, 'x'}, "x"},
        {"F12 keeps the line", {'a', GR_KEY_F12, 'b'}, "ab"},
        {"screenshot keeps the line", {'a', GR_KEY_CTRL_PRINT_SCREEN, 'b'}, "ab"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (int key : c.keys) grTestPushKey(key);
        EXPECT_EQ(typeLine(""), c.line);
    }
    EXPECT_EQ(picturesEnabled, 0);      // flipped once, by the F12 case
    picturesEnabled = 1;
}

TEST_F(Input, F12FlipsPicturesWithoutRedrawing)
{
    printText("Seen.");
    keys({GR_KEY_F12, GR_KEY_F12, GR_KEY_F12});
    typeLine("");
    EXPECT_EQ(picturesEnabled, 0);
    EXPECT_EQ(textAt(4, BOTTOM - 16, 5, WHITE), "Seen.");
    picturesEnabled = 1;
}

TEST_F(Input, HistoryOnUpAndDown)
{
    const int UP = GR_KEY_UP, DOWN = GR_KEY_DOWN;
    struct Case {
        std::vector<int> keys;
        std::string line;
    } cases[] = {
        {{UP}, "east"},
        {{UP, UP}, "south"},
        {{UP, UP, UP}, "north"},
        {{UP, UP, UP, UP}, "north"},
        {{UP, UP, UP, DOWN}, "south"},
        {{UP, UP, UP, DOWN, DOWN, DOWN}, ""},
        {{UP, 8, 'r'}, "easr"},
        {{'w', UP}, "east"},
    };
    for (const Case &c : cases) {
        resetHistory();
        typeLine("north");
        typeLine("south");
        typeLine("east");
        for (int key : c.keys) grTestPushKey(key);
        EXPECT_EQ(typeLine(""), c.line);
    }
    // The ring offers fifteen earlier lines: after sixteen, the first is gone.
    resetHistory();
    for (int i = 1; i <= 16; i++) typeLine("l" + std::to_string(i));
    for (int i = 0; i < 20; i++) grTestPushKey(UP);
    EXPECT_EQ(typeLine(""), "l2");
}

TEST_F(Input, TheEditLineStopsAtTheWindowWidth)
{
    struct Case {
        const char *prompt;
        size_t fits;
    } cases[] = {
        {">", 94},
        {"123456789012345", 80},
        {"", 95},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.prompt);
        strcpy(settings.Prompt, c.prompt);
        std::string line = typeLine(std::string(100, 'k'));
        EXPECT_EQ(line.size(), c.fits);
        std::string shown = c.prompt + std::string(c.fits, 'k');
        EXPECT_EQ(bottomLine((int)shown.size() + 1), shown + " ");
    }
    // The caller's maximum applies as well.
    strcpy(settings.Prompt, ">");
    grTestPushText("abcdef");
    grTestPushKey(GR_KEY_RETURN);
    char buffer[8];
    readLine(buffer, 3);
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(Input, TheEditLineIsShownWithVariablesSubstituted)
{
    vars[findVariable("score")].value = 12;
    EXPECT_EQ(typeLine("%score%"), "%score%");
    EXPECT_EQ(bottomLine(4), ">12 ");
    EXPECT_EQ(typeLine("%lo"), "%lo");
    EXPECT_EQ(bottomLine(4), ">   ");      // a lone percent sign hides the rest
}

TEST_F(Input, YesNoQuestionsEchoTheKey)
{
    struct Case {
        const char *settings;
        const char *question;
        std::vector<int> keys;
        int answer;
        const char *line;
    } cases[] = {
        {"", nullptr, {'x', '1', GR_KEY_RETURN, 'Y'}, 1, "(y/n)? Y"},
        {"", nullptr, {'n'}, 0, "(y/n)? n"},
        {"Boolean=SN\n", nullptr, {'y', 's'}, 1, "(s/n)? s"},
        {"Boolean=SN\n", nullptr, {'S'}, 1, "(s/n)? S"},
        {"Boolean=SN\n", nullptr, {'N'}, 0, "(s/n)? N"},
        {"Boolean=jj\n", nullptr, {'J'}, 1, "(j/j)? J"},
        {"", "Quit? ", {'y'}, 1, "Quit? y"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        open(c.settings);
        printText("Before.");
        for (int key : c.keys) grTestPushKey(key);
        EXPECT_EQ(askYesNo(c.question), c.answer);
        std::string line = c.line;
        EXPECT_EQ(bottomLine((int)line.size() + 1), line + " ");
        EXPECT_EQ(textAt(4, BOTTOM - 16, 7, WHITE), "Before.");
    }
}

TEST_F(Input, ChoiceQuestionsAcceptDigitsAndEscape)
{
    struct Case {
        int highest;
        std::vector<int> keys;
        int answer;
        const char *line;
    } cases[] = {
        {3, {'0', '4', '3'}, 3, "(1:3): 3"},
        {3, {GR_KEY_ESCAPE}, 0, "(1:3): "},
        {-3, {GR_KEY_ESCAPE, '2'}, 2, "(1:3): 2"},
        {12, {'9'}, 9, "(1:9): 9"},
        {0, {'3', '2'}, 2, "(1:2): 2"},
        {1, {GR_KEY_ESCAPE}, 0, "(1:2): "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.highest);
        for (int key : c.keys) grTestPushKey(key);
        EXPECT_EQ(askChoice(nullptr, c.highest), c.answer);
        std::string line = c.line;
        EXPECT_EQ(bottomLine(9), line + std::string(9 - line.size(), ' '));
    }
    grTestPushKey('1');
    EXPECT_EQ(askChoice("Slot? ", 9), 1);
    EXPECT_EQ(bottomLine(8), "Slot? 1 ");
}

TEST_F(Input, WaitKeyTimesAndKeys)
{
    // A negative pause waits its whole length and leaves the key queued.
    grTestPushKey('k');
    int64_t start = grMilliseconds();
    waitKey(-200);
    EXPECT_GE(grMilliseconds() - start, 200);
    EXPECT_EQ(grKeyRead(), 'k');

    // A positive pause ends at a key and uses it up...
    grTestPushKey('k');
    start = grMilliseconds();
    waitKey(3000);
    EXPECT_LT(grMilliseconds() - start, 1000);
    EXPECT_EQ(grKeyPressed(), 0);

    // ...or runs out.
    start = grMilliseconds();
    waitKey(300);
    int64_t waited = grMilliseconds() - start;
    EXPECT_GE(waited, 300);
    EXPECT_LT(waited, 2000);

    grTestPushKey('k');
    grTestPushKey('m');
    waitKey(0);
    EXPECT_EQ(grKeyRead(), 'm');
}

// Ctrl+Z and Ctrl+Y enter the kit's undo and redo, whatever was typed.
TEST_F(Input, ControlZAndYAreUndoAndRedo)
{
    char buffer[COMMAND_LIMIT + 1];
    grTestPushText("tak");
    grTestPushKey(GR_KEY_CTRL_Z);
    EXPECT_EQ(readLine(buffer, COMMAND_LIMIT), 0);
    EXPECT_STREQ(buffer, "\\undo");
    grTestPushKey(GR_KEY_CTRL_Y);
    EXPECT_EQ(readLine(buffer, COMMAND_LIMIT), 0);
    EXPECT_STREQ(buffer, "\\redo");
}

TEST_F(Input, ClosingTheWindowEndsEveryWait)
{
    keys({'a', 'b'});
    grTestCloseWindow();
    char buffer[COMMAND_LIMIT + 1];
    EXPECT_EQ(readLine(buffer, COMMAND_LIMIT), -1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(grWindowClosed(), 1);
    EXPECT_EQ(askYesNo(nullptr), -1);      // no answer: the window is gone
    EXPECT_EQ(askChoice(nullptr, -3), -1);
    int64_t start = grMilliseconds();
    waitKey(-5000);
    waitKey(5000);
    waitKey(0);
    EXPECT_LT(grMilliseconds() - start, 1000);
}

}  // namespace
