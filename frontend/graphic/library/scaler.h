// Fitting the 800 x 600 frame into a window: its placement, and the sharp
// scaling of frame rectangles into 0x00RRGGBB pixels (no SDL here).
#pragma once

#include <cstdint>
#include <vector>

#include "frontend/graphic/library/graphics_library.h"

// A rectangle given by two included corners; empty when right < left.
struct PixelBox {
    int left;
    int top;
    int right;
    int bottom;
};

constexpr PixelBox EMPTY_BOX = {0, 0, -1, -1};
constexpr PixelBox WHOLE_FRAME = {0, 0, GR_SCREEN_WIDTH - 1, GR_SCREEN_HEIGHT - 1};

// Where the frame stands in a window: as large as its aspect ratio allows, centred.
struct Placement {
    int left;             // the frame's top left in the window
    int top;
    int width;            // the frame's size in the window
    int height;
    int factor;           // the whole factor sharp scaling starts from: ceil(scale), at least 1
    bool whole;           // width and height are factor times the frame's: plain replication
};

Placement placeFrame(int windowWidth, int windowHeight);

// One output column (or row) of the scaled frame: the source pixel a, and
// the next one b taking weight / 256 of it (weight 0: a plain copy of a).
struct ScaleStep {
    int a;
    int b;
    int weight;
};

struct Scaler {
    int windowWidth;              // the window the tables are for
    int windowHeight;
    Placement placement;
    std::vector<ScaleStep> columns;   // one per column of the placed frame
    std::vector<ScaleStep> rows;      // one per row
};

// Works out the placement and tables for a window size (nothing when unchanged).
void prepareScaler(Scaler &scaler, int windowWidth, int windowHeight);

// The window pixels that show any of the frame pixels of box: the box scaled,
// with the blended pixels at its edges. Empty when box is.
PixelBox scaledBox(const Scaler &scaler, PixelBox box);

// Scales the frame pixels of box into dest (the window's top left, pitch bytes
// a row, 0x00RRGGBB pixels); returns the window pixels written.
PixelBox scaleFrameBox(const Scaler &scaler, const GrColor *frame, PixelBox box, uint32_t *dest, int pitch);

bool boxEmpty(const PixelBox &box);
// The smallest box holding both.
PixelBox joinBoxes(const PixelBox &first, const PixelBox &second);
