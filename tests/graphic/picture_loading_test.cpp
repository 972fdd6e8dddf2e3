// Picture decoding against libpng: every accepted kind, the refusals, damaged files and scrambling.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "core/database/game_database.h"
#include "frontend/frontend.h"
#include "frontend/graphic/graphic_screen.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/pictures.h"
#include "tests/graphic/libpng_reference.h"

namespace {

std::string fixture(const std::string &name)
{
    return std::string(PICTURE_FIXTURES) + "/" + name + ".png";
}

// First row of the picture area that differs from the expected rows (all black from blackFrom on); -1 when none.
int firstWrongRow(const std::vector<uint32_t> &expected, int blackFrom, int *wrongX)
{
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++) {
            uint32_t want = y < blackFrom ? expected[size_t(y) * PICTURE_WIDTH + size_t(x)] : 0;
            if (grScreenPixel(x, y) != want) {
                *wrongX = x;
                return y;
            }
        }
    return -1;
}

// The frame's right and bottom edges, which a picture leaves standing.
bool frameEdgesStand()
{
    for (int y = 0; y <= PICTURE_HEIGHT; y++)
        if (grScreenPixel(PICTURE_WIDTH, y) != textColour) return false;
    for (int x = 0; x <= PICTURE_WIDTH; x++)
        if (grScreenPixel(x, PICTURE_HEIGHT) != textColour) return false;
    return true;
}

// The picture window as showPicture leaves it after a failure: the frame around background.
bool emptyFramedWindow()
{
    for (int y = 0; y <= PICTURE_HEIGHT; y++)
        for (int x = 0; x <= PICTURE_WIDTH; x++) {
            bool edge = x == 0 || y == 0 || x == PICTURE_WIDTH || y == PICTURE_HEIGHT;
            if (grScreenPixel(x, y) != (edge ? textColour : backgroundColour)) return false;
        }
    return true;
}

// A load that has not returned within WATCHDOG_SECONDS ends the test program, so
// that a blocked open or a runaway inflation fails instead of hanging.
constexpr unsigned WATCHDOG_SECONDS = 20;

void loadTookTooLong(int)
{
    static const char message[] = "picture_loading_test: a picture load did not return within 20 seconds\n";
    ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    _exit(1);
}

void armWatchdog()
{
    signal(SIGALRM, loadTookTooLong);
    alarm(WATCHDOG_SECONDS);
}

void disarmWatchdog()
{
    alarm(0);
}

// Bytes this process has read through read calls so far (rchar of /proc/self/io); -1 when unknown.
long long bytesReadSoFar()
{
    FILE *file = fopen("/proc/self/io", "r");
    if (!file) return -1;
    long long count = -1;
    if (fscanf(file, "rchar: %lld", &count) != 1) count = -1;
    fclose(file);
    return count;
}

class PictureLoading : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(allocateArena());
        resetDatabase();
        settings.BgColor = 1;   // a background that no black canvas can pass for
        openScreen();
    }

    void SetUp() override
    {
        picturesEnabled = 1;
        drawLayout();
    }
};

struct DecodeCase {
    const char *file;
    const char *twin;      // the same image written plainly, for libpng
    int rows;              // rows that stand; black below them
};

TEST_F(PictureLoading, DecodesAsLibpngDoes)
{
    const DecodeCase cases[] = {
        // ImageMagick's files, adaptive filters: every accepted kind.
        {"im_grey1", "im_grey1", 256}, {"im_grey2", "im_grey2", 256}, {"im_grey4", "im_grey4", 256},
        {"im_grey8", "im_grey8", 256}, {"im_rgb8", "im_rgb8", 256}, {"im_palette1", "im_palette1", 256},
        {"im_palette2", "im_palette2", 256}, {"im_palette4", "im_palette4", 256},
        {"im_palette8", "im_palette8", 256},
        // Files whose rows cycle through all five filters, their data in several chunks.
        {"grey1", "grey1", 256}, {"grey2", "grey2", 256}, {"grey4", "grey4", 256}, {"grey8", "grey8", 256},
        {"rgb8", "rgb8", 256}, {"palette1", "palette1", 256}, {"palette2", "palette2", 256},
        {"palette4", "palette4", 256}, {"palette8", "palette8", 256},
        // Chunks that change nothing, chunk types in other letter cases.
        {"ancillary", "ancillary_twin", 256},
        {"small_letters", "small_letters_twin", 256},
        {"mixed_letters", "mixed_letters_twin", 256},
        // Image data beyond the input buffer, in one chunk and cut across chunks.
        {"noise_one_chunk", "noise_one_chunk", 256},
        {"noise_chunks", "noise_one_chunk", 256},
        // Unknown filters, a palette past 256 entries, rows past the height.
        {"odd_filter", "odd_filter_twin", 256},
        {"long_palette", "long_palette_twin", 256},
        {"extra_rows", "extra_rows_twin", 256},
        {"second_header", "odd_filter_twin", 256},
        // Scrambled by the project's tool, and restored by it.
        {"scrambled", "noise_chunks", 256},
        {"unscrambled", "noise_chunks", 256},
        // Damage after the first 100 rows: those rows stand, black below.
        {"truncated", "damaged_twin", 100},
        {"inflate_error", "damaged_twin", 100},
        {"missing_end", "damaged_twin", 100},
        {"huge_chunk", "damaged_twin", 100},
        {"marker_after_data", "damaged_twin", 100},
    };
    for (const DecodeCase &c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint32_t> expected = decodeWithLibpng(fixture(c.twin));
        ASSERT_EQ(expected.size(), size_t(PICTURE_WIDTH * PICTURE_HEIGHT)) << "libpng refused " << c.twin;
        drawLayout();
        EXPECT_EQ(loadPicture(fixture(c.file).c_str()), 0);
        int x = 0;
        int y = firstWrongRow(expected, c.rows, &x);
        EXPECT_EQ(y, -1) << "first wrong pixel at (" << x << "," << y << ")";
        EXPECT_TRUE(frameEdgesStand());
    }
}

TEST_F(PictureLoading, GreyLevelsFollowTheRamp)
{
    // 8-bit grey keeps 128 levels: bytes 254 and 255 look alike; 1 and 2 bits span 0 to 255.
    ASSERT_EQ(loadPicture(fixture("grey8").c_str()), 0);
    std::vector<uint32_t> area = pictureArea();
    std::vector<uint32_t> levels(area);
    std::sort(levels.begin(), levels.end());
    levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
    EXPECT_EQ(levels.size(), 128u);
    EXPECT_EQ(levels.back(), packed(255, 255, 255));
    ASSERT_EQ(loadPicture(fixture("grey2").c_str()), 0);
    area = pictureArea();
    for (uint32_t level : {packed(0, 0, 0), packed(85, 85, 85), packed(170, 170, 170), packed(255, 255, 255)})
        EXPECT_NE(std::find(area.begin(), area.end(), level), area.end()) << std::hex << level;
}

TEST_F(PictureLoading, PalettePictureWithoutPaletteKeepsTheColoursBefore)
{
    // The twin is the same image with palette8's palette written out.
    ASSERT_EQ(loadPicture(fixture("palette8").c_str()), 0);
    ASSERT_EQ(loadPicture(fixture("no_palette").c_str()), 0);
    int x = 0;
    EXPECT_EQ(firstWrongRow(decodeWithLibpng(fixture("no_palette_twin")), PICTURE_HEIGHT, &x), -1);
}

struct RefusalCase {
    const char *file;
    int result;
};

TEST_F(PictureLoading, RefusedFilesLeaveTheWindowEmpty)
{
    const RefusalCase cases[] = {
        {"refused_wide", -3}, {"refused_interlaced", -3}, {"refused_depth16", -3},
        {"refused_grey_alpha", -3}, {"refused_rgb_alpha", -3}, {"refused_compression", -3},
        {"refused_header_not_first", -3}, {"refused_end_first", -3}, {"refused_short_header", -3},
        {"refused_truncated_header", -3}, {"refused_data_first", -3}, {"not_png", -2}, {"short_signature", -2}, {"empty", -2},
        {"no_such_file", -1},
    };
    std::vector<std::string> paths;   // kept, so that every name is a reference of its own
    for (const RefusalCase &c : cases) paths.push_back(fixture(c.file));
    for (size_t i = 0; i < std::size(cases); i++) {
        const RefusalCase &c = cases[i];
        const std::string &path = paths[i];
        SCOPED_TRACE(c.file);
        EXPECT_EQ(loadPicture(path.c_str()), c.result);
        ASSERT_EQ(loadPicture(fixture("rgb8").c_str()), 0);  // a picture in the window first
        EXPECT_EQ(showPicture(path.c_str()), -1);
        EXPECT_TRUE(emptyFramedWindow());
    }
}

TEST_F(PictureLoading, FilesThatAreNotRegularCannotBeOpened)
{
    // A FIFO without a writer would block an ordinary open; a folder and a device
    // would be read as a damaged picture.
    std::string folder = testing::TempDir() + "picture_fifo_XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    std::string fifo = folder + "/picture.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string paths[] = {fifo, folder, "/dev/zero"};
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        armWatchdog();
        EXPECT_EQ(loadPicture(path.c_str()), -1);
        EXPECT_EQ(loadPicture(fixture("rgb8").c_str()), 0);  // a picture in the window first
        EXPECT_EQ(showPicture(path.c_str()), -1);
        disarmWatchdog();
        EXPECT_TRUE(emptyFramedWindow());
    }
    unlink(fifo.c_str());
    rmdir(folder.c_str());
}

TEST_F(PictureLoading, InflationStopsAtTheLastRow)
{
    // Each file holds 4 MiB of image data inflating to 4 GiB, of which the picture
    // needs the first 256 rows (98,560 bytes). Reading stops there: fewer bytes
    // are read than a true-colour picture stored without compression would take.
    constexpr long long LARGEST_PICTURE_DATA = PICTURE_HEIGHT * (1 + 3 * PICTURE_WIDTH);
    std::vector<uint32_t> expected = decodeWithLibpng(fixture("bomb_twin"));
    ASSERT_EQ(expected.size(), size_t(PICTURE_WIDTH * PICTURE_HEIGHT)) << "libpng refused bomb_twin";
    for (const char *name : {"bomb_chunks", "bomb_long_chunk"}) {
        SCOPED_TRACE(name);
        std::string path = fixture(name);
        struct stat status;
        ASSERT_EQ(stat(path.c_str(), &status), 0);
        ASSERT_GT(status.st_size, 4'000'000);
        drawLayout();
        long long before = bytesReadSoFar();
        ASSERT_GE(before, 0) << "no read count in /proc/self/io";
        armWatchdog();
        EXPECT_EQ(loadPicture(path.c_str()), 0);
        disarmWatchdog();
        EXPECT_LT(bytesReadSoFar() - before, LARGEST_PICTURE_DATA);
        int x = 0;
        int y = firstWrongRow(expected, PICTURE_HEIGHT, &x);
        EXPECT_EQ(y, -1) << "first wrong pixel at (" << x << "," << y << ")";
        EXPECT_TRUE(frameEdgesStand());
    }
}

TEST_F(PictureLoading, InvalidMarkersGiveABlackPicture)
{
    for (const char *name : {"wrong_marker", "second_marker", "short_marker"}) {
        SCOPED_TRACE(name);
        drawLayout();
        std::string path = fixture(name);
        EXPECT_EQ(showPicture(path.c_str()), 0);
        std::vector<uint32_t> area = pictureArea();
        EXPECT_EQ(std::count(area.begin(), area.end(), 0u), long(area.size()));
        EXPECT_TRUE(frameEdgesStand());
    }
}

TEST_F(PictureLoading, ScramblerRoundTripGivesTheFileBack)
{
    auto contents = [](const std::string &path) {
        std::string bytes;
        FILE *file = fopen(path.c_str(), "rb");
        if (!file) return bytes;
        char block[4096];
        for (size_t n; (n = fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, n);
        fclose(file);
        return bytes;
    };
    std::string plain = contents(fixture("noise_chunks")), scrambled = contents(fixture("scrambled"));
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(contents(fixture("unscrambled")), plain);
    // The marker chunk right after the header, and the data changed.
    ASSERT_GT(scrambled.size(), 49u);
    EXPECT_EQ(scrambled.substr(33, 12), std::string("\0\0\0\4SrMBtwk?", 12));
    EXPECT_EQ(scrambled.size(), plain.size() + 16);
    EXPECT_NE(scrambled.substr(49 + 8, 100), plain.substr(33 + 8, 100));
}

}  // namespace
