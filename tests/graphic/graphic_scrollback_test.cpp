// The main window's scrollback: the lines that scrolled away, shown by Page
// Up, Page Down and the wheel in the line editor, and the live view put back
// pixel for pixel. When the queued keys run out the window closes, and the
// view is read as it was left.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/interpreter/session.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "tests/graphic/screen_reader.h"

namespace {

constexpr GrColor WHITE = 0xF0F0F0;
constexpr GrColor BLACK = 0x000000;
constexpr int TOP = 324;              // the main text box's top line
constexpr int LINES = 17;             // lines in the box
constexpr int MARKER_RIGHT = 796;     // the marker ends with the top line's last cell
constexpr int MARKER_TOP = 320;       // on the top frame line
constexpr int PAGE_UP = GR_KEY_PAGE_UP;
constexpr int PAGE_DOWN = GR_KEY_PAGE_DOWN;
constexpr int WHEEL_UP = GR_KEY_WHEEL_UP;
constexpr int WHEEL_DOWN = GR_KEY_WHEEL_DOWN;

std::string numbered(int number)
{
    char text[16];
    snprintf(text, sizeof text, "L%04d", number);
    return text;
}

bool isScrollKey(int key)
{
    return key == PAGE_UP || key == PAGE_DOWN || key == WHEEL_UP || key == WHEEL_DOWN;
}

struct Scrollback : ::testing::Test {
    // A fresh screen with the lines L0001 to L<count> written as play output.
    void open(int count)
    {
        closeScreen();
        ASSERT_TRUE(loadGameSource("[System]\n[Locations]\n#1,Hall,,0\n"));
        openScreen();
        resetHistory();
        write(1, count);
    }
    void TearDown() override { closeScreen(); }

    static void write(int from, int to)
    {
        for (int i = from; i <= to; i++) printText(numbered(i).c_str());
    }
    // readLine with the keys queued; the line read goes to *line.
    static int readWith(const std::vector<int> &keys, std::string *line = nullptr)
    {
        for (int key : keys) grTestPushKey(key);
        char buffer[COMMAND_LIMIT + 1];
        int result = readLine(buffer, COMMAND_LIMIT);
        if (line) *line = buffer;
        return result;
    }
    static std::string viewLine(int slot)
    {
        return textAt(4, TOP + 16 * slot, 5, WHITE);
    }
    // The marker read over the width of label; it is drawn in reverse, its
    // glyphs in the background colour.
    static std::string marker(const std::string &label)
    {
        int cells = (int)label.size();
        return textAt(MARKER_RIGHT - 8 * cells, MARKER_TOP, cells, BLACK);
    }
    static std::vector<GrColor> frame()
    {
        return std::vector<GrColor>(grTestFrame(), grTestFrame() + GR_SCREEN_WIDTH * GR_SCREEN_HEIGHT);
    }
    // Whether two frames agree on rows top to bottom.
    static bool sameRows(const std::vector<GrColor> &a, const std::vector<GrColor> &b, int top, int bottom)
    {
        return std::equal(a.begin() + top * GR_SCREEN_WIDTH, a.begin() + (bottom + 1) * GR_SCREEN_WIDTH,
                          b.begin() + top * GR_SCREEN_WIDTH);
    }
};

// 40 lines and the prompt's: L0001 to L0024 kept, L0025 to L0040 and the
// edit line in the box. 1117 lines and the prompt's: 1101 scrolled away, of
// which the newest 1000 are kept, L0102 to L1101.
TEST_F(Scrollback, PageUpAndTheWheelShowTheLinesThatScrolledAway)
{
    open(40);
    readWith({});
    std::vector<GrColor> live = frame();
    struct Case {
        const char *name;
        int count;
        std::vector<int> keys;
        const char *top;
        const char *bottom;
        const char *marker;
    } cases[] = {
        {"a page back", 40, {PAGE_UP}, "L0008", "L0024", " ^ 7 more "},
        {"back to the oldest line", 40, {PAGE_UP, PAGE_UP}, "L0001", "L0017", " ^ 0 more "},
        {"no further than the oldest", 40, {PAGE_UP, PAGE_UP, PAGE_UP}, "L0001", "L0017", " ^ 0 more "},
        {"a wheel step", 40, {WHEEL_UP}, "L0022", "L0038", " ^ 21 more "},
        {"a page back, a wheel step forward", 40, {PAGE_UP, WHEEL_DOWN}, "L0011", "L0027", " ^ 10 more "},
        {"keys that edit nothing keep the view", 40, {PAGE_UP, 9, 27, 331}, "L0008", "L0024", " ^ 7 more "},
        {"a page back from 1117 lines", 1117, {PAGE_UP}, "L1085", "L1101", " ^ 983 more "},
        {"the oldest of 1117 lines", 1117, std::vector<int>(70, PAGE_UP), "L0102", "L0118", " ^ 0 more "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.count);
        EXPECT_EQ(readWith(c.keys), -1);
        EXPECT_EQ(viewLine(0), c.top);
        EXPECT_EQ(viewLine(LINES - 1), c.bottom);
        EXPECT_EQ(marker(c.marker), c.marker);
        EXPECT_TRUE(sameRows(live, frame(), 0, MARKER_TOP - 1)) << "the other windows changed";
    }
}

// L0008 to L0023 stood in the box when 23 lines had been written; a page
// back from 40 lines shows them there again, the same to the pixel.
TEST_F(Scrollback, KeptLinesLookAsTheyDid)
{
    open(23);
    readWith({});
    std::vector<GrColor> then = frame();
    open(40);
    readWith({PAGE_UP});
    std::vector<GrColor> now = frame();
    int markerLeft = MARKER_RIGHT - 8 * 10;
    for (int y = TOP; y < TOP + 16 * (LINES - 1); y++)
        for (int x = 0; x < GR_SCREEN_WIDTH; x++)
            if (y >= MARKER_TOP + GR_FONT_HEIGHT || x < markerLeft) {
                ASSERT_EQ(then[y * GR_SCREEN_WIDTH + x], now[y * GR_SCREEN_WIDTH + x]) << x << "," << y;
            }
}

// Each case runs twice on 40 lines, with its keys and without the keys that
// scroll: the frames and the lines read must agree.
TEST_F(Scrollback, ReturningBringsTheLiveViewBackPixelForPixel)
{
    struct Case {
        const char *name;
        std::vector<int> keys;
    } cases[] = {
        {"Page Down", {PAGE_UP, PAGE_DOWN}},
        {"Page Down past the live view", {PAGE_UP, PAGE_UP, PAGE_DOWN, PAGE_DOWN, PAGE_DOWN}},
        {"the wheel down to the live view", {WHEEL_UP, WHEEL_UP, WHEEL_DOWN, WHEEL_DOWN}},
        {"Page Down and the wheel on the live view", {PAGE_DOWN, WHEEL_DOWN}},
        {"a typed letter", {PAGE_UP, 'k'}},
        {"Backspace", {'a', 'b', PAGE_UP, GR_KEY_BACKSPACE}},
        {"the history", {PAGE_UP, GR_KEY_UP}},
        {"the history forward", {GR_KEY_UP, WHEEL_UP, GR_KEY_DOWN}},
        {"Return", {'g', 'o', PAGE_UP, GR_KEY_RETURN}},
        {"undo", {PAGE_UP, GR_KEY_CTRL_Z}},
        {"redo", {PAGE_UP, PAGE_UP, GR_KEY_CTRL_Y}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> unscrolled;
        for (int key : c.keys)
            if (!isScrollKey(key)) unscrolled.push_back(key);
        std::string lineLive, lineScrolled;
        open(40);
        historyAdd("look");
        int resultLive = readWith(unscrolled, &lineLive);
        std::vector<GrColor> live = frame();
        open(40);
        historyAdd("look");
        EXPECT_EQ(readWith(c.keys, &lineScrolled), resultLive);
        EXPECT_EQ(lineScrolled, lineLive);
        EXPECT_TRUE(frame() == live);
    }
}

// A clear keeps what it wipes; the empty box it leaves is not kept.
TEST_F(Scrollback, AClearKeepsTheLinesItWipes)
{
    open(5);
    clearText();
    write(6, 10);
    readWith({PAGE_UP});
    EXPECT_EQ(viewLine(0), "L0001");
    EXPECT_EQ(viewLine(4), "L0005");
    EXPECT_EQ(viewLine(5), "     ");
    EXPECT_EQ(viewLine(LINES - 1), "L0006");
    EXPECT_EQ(marker(" ^ 0 more "), " ^ 0 more ");
}

// The kept lines outlast a turn and are forgotten when a new game lays the screen out.
TEST_F(Scrollback, ANewGameForgetsTheLinesATurnDoesNot)
{
    open(40);
    EXPECT_EQ(readWith({'l', GR_KEY_RETURN}), 0);
    readWith({PAGE_UP});
    EXPECT_EQ(viewLine(0), "L0009");

    open(40);
    beginGame();
    readWith({});
    std::vector<GrColor> live = frame();
    open(40);
    beginGame();
    readWith({PAGE_UP, WHEEL_UP});
    EXPECT_TRUE(frame() == live);
}

TEST_F(Scrollback, TheWheelAnswersNoQuestionAndEndsNoPause)
{
    enum Wait { PAUSE, TIMED_PAUSE, YES_NO, CHOICE };
    struct Case {
        const char *name;
        Wait wait;
        int key;
        int answer;
    } cases[] = {
        {"a pause until a key", PAUSE, 'k', 0},
        {"a timed pause", TIMED_PAUSE, 'k', 0},
        {"a yes/no question", YES_NO, 'y', 1},
        {"a numbered question", CHOICE, '2', 2},
    };
    open(0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (int key : {WHEEL_UP, WHEEL_DOWN, c.key, (int)'m'}) grTestPushKey(key);
        int answer = 0;
        switch (c.wait) {
        case PAUSE: waitKey(0); break;
        case TIMED_PAUSE: waitKey(60000); break;
        case YES_NO: answer = askYesNo(nullptr); break;
        case CHOICE: answer = askChoice(nullptr, 3); break;
        }
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(grKeyRead(), 'm');
    }
}

}  // namespace
