// Showing pictures: the path under ImagePath, the name compared by reference, switching pictures off.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/pictures.h"

namespace {

constexpr GrColor MARK = 0x123456;   // painted over the window to see whether it is drawn again

std::string fixture(const std::string &name)
{
    return std::string(PICTURE_FIXTURES) + "/" + name + ".png";
}

void copyFile(const std::string &from, const std::string &to)
{
    FILE *in = fopen(from.c_str(), "rb");
    FILE *out = fopen(to.c_str(), "wb");
    ASSERT_TRUE(in && out) << from << " -> " << to;
    char block[4096];
    for (size_t n; (n = fread(block, 1, sizeof block, in)) > 0;) fwrite(block, 1, n, out);
    fclose(in);
    fclose(out);
}

std::vector<GrColor> pictureArea()
{
    std::vector<GrColor> pixels;
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++) pixels.push_back(grScreenPixel(x, y));
    return pixels;
}

// The picture area as a fixture looks when loaded.
std::vector<GrColor> lookOf(const char *name)
{
    loadPicture(fixture(name).c_str());
    return pictureArea();
}

void markWindow()
{
    grFilledBox(0, 0, PICTURE_WIDTH - 1, PICTURE_HEIGHT - 1, MARK);
}

bool windowMarked()
{
    return grScreenPixel(100, 100) == MARK && grScreenPixel(383, 255) == MARK;
}

bool emptyFramedWindow()
{
    for (int y = 0; y <= PICTURE_HEIGHT; y++)
        for (int x = 0; x <= PICTURE_WIDTH; x++) {
            bool edge = x == 0 || y == 0 || x == PICTURE_WIDTH || y == PICTURE_HEIGHT;
            if (grScreenPixel(x, y) != (edge ? textColour : backgroundColour)) return false;
        }
    return true;
}

// Each test runs in a fresh folder of its own, which holds grey1.png as hall.png.
class PictureDisplay : public testing::Test {
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
        char folder[] = "/tmp/picture_display_XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folderPath = folder;
        ASSERT_EQ(getcwd(previousFolder, sizeof previousFolder), previousFolder);
        ASSERT_EQ(chdir(folder), 0);
        copyFile(fixture("grey1"), "hall.png");
        memset(settings.ImagePath, 0, sizeof settings.ImagePath);
        picturesEnabled = 1;
        drawLayout();
    }

    void TearDown() override
    {
        ASSERT_EQ(chdir(previousFolder), 0);
        ASSERT_EQ(system(("rm -rf " + folderPath).c_str()), 0);
    }

    std::string folderPath;
    char previousFolder[4096];
};

TEST_F(PictureDisplay, SameReferenceIsNotDrawnAgain)
{
    const char *hall = textOf(appendText("hall.png", false));
    EXPECT_EQ(showPicture(hall), 0);
    markWindow();
    EXPECT_EQ(showPicture(hall), 0);
    EXPECT_TRUE(windowMarked());
    // After the layout is drawn again, the same reference draws the picture again.
    drawLayout();
    markWindow();
    EXPECT_EQ(showPicture(hall), 0);
    EXPECT_EQ(pictureArea(), lookOf("grey1"));
}

TEST_F(PictureDisplay, TextsWithTheSameCharactersAreTwoNames)
{
    // Two locations naming the same file by texts of their own: each change loads it.
    const char *first = textOf(appendText("hall.png", false));
    const char *second = textOf(appendText("hall.png", false));
    ASSERT_NE(first, second);
    std::vector<GrColor> hall = lookOf("grey1");
    for (const char *name : {first, second, first}) {
        markWindow();
        EXPECT_EQ(showPicture(name), 0);
        EXPECT_EQ(pictureArea(), hall);
    }
}

TEST_F(PictureDisplay, MissingFileIsNotTriedAgain)
{
    const char *name = textOf(appendText("cellar.png", false));
    EXPECT_EQ(showPicture(name), -1);
    EXPECT_TRUE(emptyFramedWindow());
    // The file turns up; the same stored name still does nothing.
    copyFile(fixture("grey1"), "cellar.png");
    markWindow();
    EXPECT_EQ(showPicture(name), 0);
    EXPECT_TRUE(windowMarked());
}

TEST_F(PictureDisplay, NoNameEmptiesTheWindow)
{
    EXPECT_EQ(showPicture(textOf(appendText("hall.png", false))), 0);
    EXPECT_EQ(showPicture(nullptr), -1);
    EXPECT_TRUE(emptyFramedWindow());
    markWindow();
    EXPECT_EQ(showPicture(nullptr), 0);   // null is the last name now
    EXPECT_TRUE(windowMarked());
}

TEST_F(PictureDisplay, SwitchingOffTakesEffectAtTheNextChange)
{
    const char *hall = textOf(appendText("hall.png", false));
    const char *other = textOf(appendText("hall.png", false));
    ASSERT_EQ(showPicture(hall), 0);
    picturesEnabled = 0;
    EXPECT_EQ(showPicture(hall), 0);       // no change of name: the picture stays
    EXPECT_EQ(pictureArea(), lookOf("grey1"));
    EXPECT_EQ(loadPicture("hall.png"), -1);
    EXPECT_EQ(showPicture(other), -1);
    EXPECT_TRUE(emptyFramedWindow());
    picturesEnabled = 1;
    EXPECT_EQ(showPicture(other), 0);      // back on, but the same name: still empty
    EXPECT_TRUE(emptyFramedWindow());
    EXPECT_EQ(showPicture(hall), 0);
    EXPECT_EQ(pictureArea(), lookOf("grey1"));
}

struct PathCase {
    std::string imagePath;    // up to 32 bytes, stored without an end mark when 32 long
    std::string folder;       // where the file is put ("" = the current folder)
    std::string name;
    int result;
};

TEST_F(PictureDisplay, PathJoinsImagePathAndName)
{
    std::string wide(32, 'p');
    const PathCase cases[] = {
        {"pics", "pics", "hall.png", 0},
        {"", "", "hall.png", 0},
        {"pics", "", "hall.png", -1},           // not looked for in the current folder
        {"pics/", "pics", "hall.png", 0},       // "pics//hall.png" names the same file
        {wide, wide, std::string(94 - 4, 'n') + ".png", 0},   // 32 + 1 + 94 = 127 characters
        {wide, wide, std::string(95 - 4, 'n') + ".png", -1},  // 128: refused although the file is there
        {"", "", std::string(127 - 4, 'n') + ".png", 0},
        {"", "", std::string(128 - 4, 'n') + ".png", -1},
    };
    memset(settings.Title, 'T', sizeof settings.Title - 1);   // right behind ImagePath
    std::vector<GrColor> look = lookOf("palette2");
    std::vector<std::string> names;   // kept, so that every name is a reference of its own
    for (const PathCase &c : cases) names.push_back(c.name);
    for (size_t i = 0; i < std::size(cases); i++) {
        const PathCase &c = cases[i];
        SCOPED_TRACE(c.imagePath + " + " + c.name);
        if (!c.folder.empty()) mkdir(c.folder.c_str(), 0755);
        copyFile(fixture("palette2"), (c.folder.empty() ? "" : c.folder + "/") + c.name);
        memset(settings.ImagePath, 0, sizeof settings.ImagePath);
        memcpy(settings.ImagePath, c.imagePath.data(), c.imagePath.size());
        drawLayout();
        EXPECT_EQ(showPicture(names[i].c_str()), c.result);
        if (c.result == 0)
            EXPECT_EQ(pictureArea(), look);
        else
            EXPECT_TRUE(emptyFramedWindow());
        ASSERT_EQ(system(("rm -rf pics " + wide + " n*.png").c_str()), 0);
    }
    memset(settings.Title, 0, sizeof settings.Title);
}

}  // namespace
