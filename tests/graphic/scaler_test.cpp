// Fitting the frame into a window: placements, pixel-exact whole factors,
// sharp scaling at other scales, scaled boxes, and the changed box the
// drawing layer hands to its backend.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/graphic/library/graphics_backend.h"
#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/library/scaler.h"

namespace {

constexpr uint32_t SENTINEL = 0xFF123456;   // not a colour: window pixels left alone

std::vector<GrColor> patternFrame()
{
    std::vector<GrColor> frame((size_t)GR_SCREEN_WIDTH * GR_SCREEN_HEIGHT);
    uint32_t seed = 7;
    for (GrColor &pixel : frame) {
        seed = seed * 1103515245u + 12345u;
        pixel = seed >> 8 & 0xFFFFFF;
    }
    return frame;
}

struct Window {
    Scaler scaler;
    std::vector<uint32_t> pixels;
};

Window makeWindow(int width, int height)
{
    Window window;
    prepareScaler(window.scaler, width, height);
    window.pixels.assign((size_t)width * height, SENTINEL);
    return window;
}

PixelBox scaleInto(Window &window, const std::vector<GrColor> &frame, PixelBox box)
{
    return scaleFrameBox(window.scaler, frame.data(), box, window.pixels.data(), window.scaler.windowWidth * 4);
}

TEST(Scaler, PlacementFillsTheWindowAsFarAsTheAspectAllows)
{
    struct Case {
        int windowWidth, windowHeight;
        Placement expected;
    };
    const Case cases[] = {
        {800, 600, {0, 0, 800, 600, 1, true}},
        {1600, 1200, {0, 0, 1600, 1200, 2, true}},
        {1700, 1200, {50, 0, 1600, 1200, 2, true}},
        {2400, 1900, {0, 50, 2400, 1800, 3, true}},
        {1920, 1080, {240, 0, 1440, 1080, 2, false}},
        {1200, 900, {0, 0, 1200, 900, 2, false}},
        {1700, 1300, {0, 12, 1700, 1275, 3, false}},
        {640, 480, {0, 0, 640, 480, 1, false}},
        {400, 600, {0, 150, 400, 300, 1, false}},
        {1000, 300, {300, 0, 400, 300, 1, false}},
        {0, 0, {0, 0, 1, 1, 1, false}},
    };
    for (const Case &c : cases) {
        Placement got = placeFrame(c.windowWidth, c.windowHeight);
        SCOPED_TRACE(testing::Message() << c.windowWidth << "x" << c.windowHeight);
        EXPECT_EQ(got.left, c.expected.left);
        EXPECT_EQ(got.top, c.expected.top);
        EXPECT_EQ(got.width, c.expected.width);
        EXPECT_EQ(got.height, c.expected.height);
        EXPECT_EQ(got.factor, c.expected.factor);
        EXPECT_EQ(got.whole, c.expected.whole);
    }
}

TEST(Scaler, WholeFactorsReplicatePixelsExactly)
{
    std::vector<GrColor> frame = patternFrame();
    for (int factor = 1; factor <= 3; factor++) {
        int width = GR_SCREEN_WIDTH * factor + 40, height = GR_SCREEN_HEIGHT * factor;
        Window window = makeWindow(width, height);
        PixelBox shown = scaleInto(window, frame, WHOLE_FRAME);
        EXPECT_EQ(shown.left, 20);
        EXPECT_EQ(shown.right, 20 + GR_SCREEN_WIDTH * factor - 1);
        long wrong = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                bool inside = x >= 20 && x < 20 + GR_SCREEN_WIDTH * factor;
                uint32_t expected = inside ? frame[(size_t)(y / factor) * GR_SCREEN_WIDTH + (x - 20) / factor] : SENTINEL;
                wrong += window.pixels[(size_t)y * width + x] != expected;
            }
        EXPECT_EQ(wrong, 0) << "factor " << factor;
    }
}

// At every scale up, each source pixel shows, and each edge between two
// source pixels has at most one blended pixel; scaled down, still at most one.
TEST(Scaler, AtMostOneBlendedPixelAtEachSourceEdge)
{
    for (int width : {640, 1000, 1200, 1440, 1700, 1920, 2400}) {
        Scaler scaler;
        prepareScaler(scaler, width, width * 3 / 4);
        for (const std::vector<ScaleStep> *steps : {&scaler.columns, &scaler.rows}) {
            int source = steps == &scaler.columns ? GR_SCREEN_WIDTH : GR_SCREEN_HEIGHT;
            std::vector<int> blends((size_t)source, 0), shown((size_t)source, 0);
            for (const ScaleStep &step : *steps) {
                shown[(size_t)step.a]++;
                if (step.weight) {
                    ASSERT_EQ(step.b, step.a + 1);
                    blends[(size_t)step.a]++;
                    shown[(size_t)step.b]++;
                }
            }
            for (int s = 0; s < source; s++) {
                EXPECT_LE(blends[(size_t)s], 1) << "width " << width << " at " << s;
                if ((int)steps->size() >= source) {
                    EXPECT_GE(shown[(size_t)s], 1) << "width " << width << " at " << s;
                }
            }
        }
    }
}

// At 1.5x each 8-pixel cell becomes 12 pixels of the same pattern: a line
// of one letter shows the same 12-pixel letter in every cell.
TEST(Scaler, LettersKeepOneWidthAtOneAndAHalf)
{
    grSetMode(GR_SCREEN_WIDTH, GR_SCREEN_HEIGHT, 24);
    grClearScreen(0x202088);
    GrTextOption option = {0xF0F0F0, 0x202088};
    std::string line(99, 'W');
    grDrawString(line.c_str(), (int)line.size(), 4, 580, &option);
    std::vector<GrColor> frame(grTestFrame(), grTestFrame() + (size_t)GR_SCREEN_WIDTH * GR_SCREEN_HEIGHT);
    grSetTextMode();

    Window window = makeWindow(1200, 900);
    scaleInto(window, frame, WHOLE_FRAME);
    for (size_t i = 0; i < line.size(); i++) {
        int cell = 6 + (int)i * 12;
        EXPECT_EQ(window.scaler.columns[(size_t)cell].a, 4 + (int)i * 8);
        EXPECT_EQ(window.scaler.columns[(size_t)cell].weight, 0);
        long differing = 0;
        for (int y = 870; y < 891; y++)
            for (int x = 0; x < 12; x++)
                differing += window.pixels[(size_t)y * 1200 + cell + x] != window.pixels[(size_t)y * 1200 + 6 + x];
        EXPECT_EQ(differing, 0) << "letter " << i;
    }
}

// Scaling only a changed box gives the window that scaling everything gives.
TEST(Scaler, ScalingTheChangedBoxMatchesScalingEverything)
{
    const PixelBox boxes[] = {{4, 580, 27, 593}, {0, 0, 0, 0}, {799, 599, 799, 599}, {383, 100, 390, 255}};
    for (int width : {640, 800, 1200, 1440, 1600}) {
        for (const PixelBox &box : boxes) {
            std::vector<GrColor> frame = patternFrame();
            Window partial = makeWindow(width, width * 3 / 4);
            scaleInto(partial, frame, WHOLE_FRAME);
            for (int y = box.top; y <= box.bottom; y++)
                for (int x = box.left; x <= box.right; x++) frame[(size_t)y * GR_SCREEN_WIDTH + x] ^= 0xFFFFFF;
            Window whole = makeWindow(width, width * 3 / 4);
            scaleInto(whole, frame, WHOLE_FRAME);
            PixelBox shown = scaleInto(partial, frame, box);
            EXPECT_EQ(partial.pixels, whole.pixels) << "width " << width << " box at " << box.left << "," << box.top;
            PixelBox expected = scaledBox(whole.scaler, box);
            EXPECT_EQ(shown.left, expected.left);
            EXPECT_EQ(shown.bottom, expected.bottom);
        }
    }
}

// The drawing layer hands the backend the box of what was drawn since the last present.
TEST(Scaler, PresentsOnlyTheChangedBox)
{
    grSetMode(GR_SCREEN_WIDTH, GR_SCREEN_HEIGHT, 24);
    grKeyPressed();
    PixelBox first = headlessPresentedBox();
    EXPECT_EQ(first.right, GR_SCREEN_WIDTH - 1);
    EXPECT_EQ(first.bottom, GR_SCREEN_HEIGHT - 1);
    GrTextOption option = {0xF0F0F0, 0x202088};
    struct Case {
        const char *what;
        PixelBox expected;
    };
    const Case cases[] = {
        {"text", {4, 580, 27, 593}},
        {"box", {10, 20, 30, 40}},
        {"plot and box", {5, 5, 30, 40}},
        {"copy", {100, 200, 109, 209}},
        {"clipped", {790, 590, 799, 599}},
    };
    for (const Case &c : cases) {
        std::string what = c.what;
        if (what == "text") grDrawString("abc", 3, 4, 580, &option);
        if (what == "box" || what == "plot and box") grFilledBox(30, 40, 10, 20, 0xFF0000);
        if (what == "plot and box") grPlot(5, 5, 0xFF0000);
        if (what == "copy") grBitBlt(100, 200, 0, 0, 9, 9);
        if (what == "clipped") grFilledBox(790, 590, 900, 700, 0xFF0000);
        grKeyPressed();
        PixelBox got = headlessPresentedBox();
        EXPECT_EQ(got.left, c.expected.left) << what;
        EXPECT_EQ(got.top, c.expected.top) << what;
        EXPECT_EQ(got.right, c.expected.right) << what;
        EXPECT_EQ(got.bottom, c.expected.bottom) << what;
    }
    grSetTextMode();
}

}  // namespace
