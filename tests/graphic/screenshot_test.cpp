// The screenshot file: its layout, its palette of the screen's colours, and a file that cannot be written.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/pictures.h"
#include "frontend/graphic/screenshot.h"

namespace {

constexpr size_t SCREENSHOT_SIZE = 481078;
constexpr size_t PIXELS = 1078;

std::string contents(const char *path)
{
    std::string bytes;
    FILE *file = fopen(path, "rb");
    if (!file) return bytes;
    char block[65536];
    for (size_t n; (n = fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, n);
    fclose(file);
    return bytes;
}

uint32_t little(const std::string &bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; i--) value = value << 8 | uint8_t(bytes[at + size_t(i)]);
    return value;
}

// The colour that the file shows at screen pixel (x, y), through its palette.
GrColor fileColour(const std::string &bmp, int x, int y)
{
    size_t index = uint8_t(bmp[PIXELS + size_t(GR_SCREEN_HEIGHT - 1 - y) * GR_SCREEN_WIDTH + size_t(x)]);
    size_t entry = 54 + 4 * index;
    return GrColor(uint8_t(bmp[entry + 2])) << 16 | GrColor(uint8_t(bmp[entry + 1])) << 8 | uint8_t(bmp[entry]);
}

// Runs the independent reader on scrshot.bmp against the screen as it is now.
int checkWithPython()
{
    FILE *frame = fopen("frame.raw", "wb");
    if (!frame) return -1;
    fwrite(grTestFrame(), sizeof(GrColor), size_t(GR_SCREEN_WIDTH) * GR_SCREEN_HEIGHT, frame);
    fclose(frame);
    std::string command = std::string("python3 ") + SCREENSHOT_CHECK + " scrshot.bmp frame.raw";
    return system(command.c_str());
}

// Each test runs in a fresh folder of its own, on a freshly drawn layout.
class Screenshot : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        settings.BgColor = 1;
        openScreen();
    }

    void SetUp() override
    {
        char folder[] = "/tmp/screenshot_XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folderPath = folder;
        ASSERT_EQ(getcwd(previousFolder, sizeof previousFolder), previousFolder);
        ASSERT_EQ(chdir(folder), 0);
        drawLayout();
    }

    void TearDown() override
    {
        ASSERT_EQ(chdir(previousFolder), 0);
        if (system(("chattr -i " + folderPath + "/scrshot.bmp 2>/dev/null").c_str()) != 0) {
        }
        ASSERT_EQ(system(("rm -rf " + folderPath).c_str()), 0);
    }

    std::string folderPath;
    char previousFolder[4096];
};

TEST_F(Screenshot, HeadersPaletteAndBottomRow)
{
    for (int x = 0; x < GR_SCREEN_WIDTH; x++) grPlot(x, GR_SCREEN_HEIGHT - 1, grAllocColor(x % 7 * 30, 9, x % 3));
    ASSERT_EQ(writeScreenshot(), 0);
    std::string bmp = contents("scrshot.bmp");
    ASSERT_EQ(bmp.size(), SCREENSHOT_SIZE);
    struct Field {
        size_t offset;
        int size;
        uint32_t value;
    };
    const Field fields[] = {
        {0, 2, 'B' | 'M' << 8}, {2, 4, 481078}, {6, 4, 0}, {10, 4, 1078}, {14, 4, 40}, {18, 4, 800},
        {22, 4, 600}, {26, 2, 1}, {28, 2, 8}, {30, 4, 0}, {34, 4, 0}, {38, 4, 3396}, {42, 4, 3396},
        {46, 4, 0}, {50, 4, 0},
    };
    for (const Field &f : fields) EXPECT_EQ(little(bmp, f.offset, f.size), f.value) << "offset " << f.offset;
    // Palette entry 0 is the first colour met: the bottom row's first pixel. Byte 54 is its blue.
    EXPECT_EQ(uint8_t(bmp[54]), grScreenPixel(0, GR_SCREEN_HEIGHT - 1) & 255);
    EXPECT_EQ(uint8_t(bmp[57]), 0);
    // Bytes 1,078 to 1,877 are the bottom row.
    for (int x = 0; x < GR_SCREEN_WIDTH; x++)
        ASSERT_EQ(fileColour(bmp, x, GR_SCREEN_HEIGHT - 1), grScreenPixel(x, GR_SCREEN_HEIGHT - 1)) << "x " << x;
}

TEST_F(Screenshot, TwoInARowLeaveTheSecond)
{
    ASSERT_EQ(writeScreenshot(), 0);
    printText("A second picture of the screen.");
    ASSERT_EQ(writeScreenshot(), 0);
    EXPECT_EQ(contents("scrshot.bmp").size(), SCREENSHOT_SIZE);
    EXPECT_EQ(checkWithPython(), 0);
}

TEST_F(Screenshot, PaletteHoldsTheScreensColours)
{
    // A picture of 16 colours with the layout and text: all colours fit the palette.
    ASSERT_EQ(loadPicture(PICTURE_FIXTURES "/palette4.png"), 0);
    printText("Colours of the screen");
    ASSERT_EQ(writeScreenshot(), 0);
    EXPECT_EQ(checkWithPython(), 0);
    // 320 more colours: those past 256 are shown by their nearest palette colour.
    for (int i = 0; i < 320; i++)
        grFilledBox(400 + i % 40 * 9, 30 + i / 40 * 9, 407 + i % 40 * 9, 37 + i / 40 * 9,
                    grAllocColor(i * 37 % 256, i * 11 % 256, i / 2));
    ASSERT_EQ(writeScreenshot(), 0);
    EXPECT_EQ(checkWithPython(), 0);
}

// Makes scrshot.bmp impossible to write: immutable as root, read-only otherwise.
bool makeReadOnly(const char *path)
{
    if (system((std::string("chattr +i ") + path + " 2>/dev/null").c_str()) != 0) chmod(path, 0444);
    int probe = open(path, O_WRONLY);   // no truncation: the probe changes nothing
    if (probe < 0) return true;
    close(probe);
    return false;
}

TEST_F(Screenshot, ReadOnlyFileIsLeftAloneAndTypingGoesOn)
{
    FILE *old = fopen("scrshot.bmp", "wb");
    ASSERT_NE(old, nullptr);
    fputs("an older screenshot", old);
    fclose(old);
    if (!makeReadOnly("scrshot.bmp")) GTEST_SKIP() << "scrshot.bmp cannot be made read-only here";
    EXPECT_EQ(writeScreenshot(), -1);
    // The key pressed while typing: the command comes through whole.
    grTestPushText("lo");
    grTestPushKey(GR_KEY_CTRL_PRINT_SCREEN);
    grTestPushText("ok");
    grTestPushKey(GR_KEY_RETURN);
    char line[128];
    EXPECT_EQ(readLine(line, 127), 0);
    EXPECT_STREQ(line, "look");
    EXPECT_EQ(contents("scrshot.bmp"), "an older screenshot");
}

TEST_F(Screenshot, FolderInTheWayWritesNothing)
{
    ASSERT_EQ(mkdir("scrshot.bmp", 0755), 0);
    EXPECT_EQ(writeScreenshot(), -1);
    struct stat status;
    ASSERT_EQ(stat("scrshot.bmp", &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
}

// A write that fails part-way (a file-size limit, as a full disk would)
// leaves the older screenshot whole and no file beside it.
TEST_F(Screenshot, FullDiskKeepsTheOlderScreenshot)
{
    ASSERT_EQ(writeScreenshot(), 0);
    std::string older = contents("scrshot.bmp");
    drawLayout();
    grFilledBox(0, 0, 99, 99, grAllocColor(255, 0, 0));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(writeScreenshot() == -1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(contents("scrshot.bmp"), older);
    EXPECT_EQ(system("test \"$(ls -A)\" = scrshot.bmp"), 0) << "a temporary file was left";
}

TEST_F(Screenshot, KeyWhileTypingTakesTheEditLine)
{
    grTestPushText("lo");
    grTestPushKey(GR_KEY_CTRL_PRINT_SCREEN);
    grTestPushKey(GR_KEY_RETURN);
    char line[128];
    EXPECT_EQ(readLine(line, 127), 0);
    EXPECT_STREQ(line, "lo");
    std::string bmp = contents("scrshot.bmp");
    ASSERT_EQ(bmp.size(), SCREENSHOT_SIZE);
    // The cursor stood in the cell after ">lo" at the key press; the final line has none.
    const ScreenBox &box = screenWindows[MAIN_WINDOW].text;
    int cellX = box.left + 3 * GR_FONT_WIDTH, cellY = box.bottom - LINE_HEIGHT;
    int cursorInFile = 0, cursorOnScreen = 0;
    for (int y = cellY; y < cellY + GR_FONT_HEIGHT; y++)
        for (int x = cellX; x < cellX + GR_FONT_WIDTH; x++) {
            cursorInFile += fileColour(bmp, x, y) == textColour;
            cursorOnScreen += grScreenPixel(x, y) == textColour;
        }
    EXPECT_GT(cursorInFile, 0);
    EXPECT_EQ(cursorOnScreen, 0);
}

}  // namespace
