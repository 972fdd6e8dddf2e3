// Fitting the frame into a window. Whole factors replicate pixels; any other
// scale is sharp: the frame conceptually enlarged by the whole factor above,
// then reduced to the window bilinearly, so that most window pixels are plain
// copies and at most one blended pixel falls at each edge between two source
// pixels. The tables give, per window column and row, the source pixels and
// the weight of the second.
#include "frontend/graphic/library/scaler.h"

#include <cstring>

Placement placeFrame(int windowWidth, int windowHeight)
{
    if (windowWidth < 1) windowWidth = 1;
    if (windowHeight < 1) windowHeight = 1;
    Placement placement;
    if ((long)windowWidth * GR_SCREEN_HEIGHT <= (long)windowHeight * GR_SCREEN_WIDTH) {
        placement.width = windowWidth;
        placement.height = (int)((long)windowWidth * GR_SCREEN_HEIGHT / GR_SCREEN_WIDTH);
    } else {
        placement.height = windowHeight;
        placement.width = (int)((long)windowHeight * GR_SCREEN_WIDTH / GR_SCREEN_HEIGHT);
    }
    if (placement.width < 1) placement.width = 1;
    if (placement.height < 1) placement.height = 1;
    placement.left = (windowWidth - placement.width) / 2;
    placement.top = (windowHeight - placement.height) / 2;
    placement.factor = (placement.width + GR_SCREEN_WIDTH - 1) / GR_SCREEN_WIDTH;
    placement.whole = placement.width == placement.factor * GR_SCREEN_WIDTH &&
                      placement.height == placement.factor * GR_SCREEN_HEIGHT;
    return placement;
}

// The steps from size source to size output through the enlargement by factor:
// output pixel o has its centre at (o + 0.5) * source * factor / output - 0.5
// of the enlarged line, worked out in halves of an output pixel to stay exact.
static void makeSteps(std::vector<ScaleStep> &steps, int source, int output, int factor)
{
    steps.resize((size_t)output);
    long twice = 2L * output;
    for (int o = 0; o < output; o++) {
        long centre = (2L * o + 1) * source * factor - output;
        long enlarged = centre / twice;
        long part = centre % twice;
        int a = (int)(enlarged / factor);
        int b = (int)((enlarged + 1) / factor);
        if (a > source - 1) a = source - 1;
        if (b > source - 1) b = source - 1;
        int weight = a == b ? 0 : (int)(part * 256 / twice);
        steps[(size_t)o] = {a, weight ? b : a, weight};
    }
}

void prepareScaler(Scaler &scaler, int windowWidth, int windowHeight)
{
    if (!scaler.columns.empty() && scaler.windowWidth == windowWidth && scaler.windowHeight == windowHeight)
        return;
    scaler.windowWidth = windowWidth;
    scaler.windowHeight = windowHeight;
    scaler.placement = placeFrame(windowWidth, windowHeight);
    const Placement &placement = scaler.placement;
    makeSteps(scaler.columns, GR_SCREEN_WIDTH, placement.width, placement.factor);
    makeSteps(scaler.rows, GR_SCREEN_HEIGHT, placement.height, placement.factor);
}

bool boxEmpty(const PixelBox &box)
{
    return box.right < box.left || box.bottom < box.top;
}

PixelBox joinBoxes(const PixelBox &first, const PixelBox &second)
{
    if (boxEmpty(first)) return second;
    if (boxEmpty(second)) return first;
    return {first.left < second.left ? first.left : second.left,
            first.top < second.top ? first.top : second.top,
            first.right > second.right ? first.right : second.right,
            first.bottom > second.bottom ? first.bottom : second.bottom};
}

// The first and last steps that read a source pixel from low to high.
static bool stepRange(const std::vector<ScaleStep> &steps, int low, int high, int &first, int &last)
{
    int count = (int)steps.size();
    first = 0;
    while (first < count && steps[(size_t)first].b < low) first++;
    last = count - 1;
    while (last >= 0 && steps[(size_t)last].a > high) last--;
    return first <= last;
}

static PixelBox clippedToFrame(PixelBox box)
{
    if (box.left < 0) box.left = 0;
    if (box.top < 0) box.top = 0;
    if (box.right > GR_SCREEN_WIDTH - 1) box.right = GR_SCREEN_WIDTH - 1;
    if (box.bottom > GR_SCREEN_HEIGHT - 1) box.bottom = GR_SCREEN_HEIGHT - 1;
    return box;
}

PixelBox scaledBox(const Scaler &scaler, PixelBox box)
{
    box = clippedToFrame(box);
    int left, right, top, bottom;
    if (boxEmpty(box) || !stepRange(scaler.columns, box.left, box.right, left, right) ||
        !stepRange(scaler.rows, box.top, box.bottom, top, bottom))
        return EMPTY_BOX;
    const Placement &placement = scaler.placement;
    return {placement.left + left, placement.top + top, placement.left + right, placement.top + bottom};
}

static uint32_t blend(uint32_t first, uint32_t second, int weight)
{
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int a = (int)(first >> shift & 255), b = (int)(second >> shift & 255);
        result |= (uint32_t)((a * (256 - weight) + b * weight + 128) >> 8) << shift;
    }
    return result;
}

static uint32_t *windowRow(uint32_t *dest, int pitch, int y)
{
    return reinterpret_cast<uint32_t *>(reinterpret_cast<uint8_t *>(dest) + (size_t)y * pitch);
}

// Whole factors: each source pixel repeated factor times along the row, and
// the row copied to the factor - 1 rows below it.
static void replicate(const Scaler &scaler, const GrColor *frame, PixelBox box, uint32_t *dest, int pitch)
{
    const Placement &placement = scaler.placement;
    int factor = placement.factor;
    size_t bytes = (size_t)(box.right - box.left + 1) * factor * sizeof(uint32_t);
    for (int y = box.top; y <= box.bottom; y++) {
        const GrColor *source = frame + (size_t)y * GR_SCREEN_WIDTH;
        int windowY = placement.top + y * factor;
        uint32_t *row = windowRow(dest, pitch, windowY) + placement.left + box.left * factor;
        if (factor == 1) {
            memcpy(row, source + box.left, bytes);
            continue;
        }
        uint32_t *out = row;
        for (int x = box.left; x <= box.right; x++)
            for (int i = 0; i < factor; i++) *out++ = source[x];
        for (int i = 1; i < factor; i++) memcpy(windowRow(dest, pitch, windowY + i) + placement.left + box.left * factor, row, bytes);
    }
}

static uint32_t sample(const GrColor *row, const ScaleStep &step)
{
    return step.weight ? blend(row[step.a], row[step.b], step.weight) : row[step.a];
}

PixelBox scaleFrameBox(const Scaler &scaler, const GrColor *frame, PixelBox box, uint32_t *dest, int pitch)
{
    PixelBox out = scaledBox(scaler, box);
    if (boxEmpty(out)) return out;
    const Placement &placement = scaler.placement;
    if (placement.whole) {
        replicate(scaler, frame, clippedToFrame(box), dest, pitch);
        return out;
    }
    for (int y = out.top; y <= out.bottom; y++) {
        const ScaleStep &rowStep = scaler.rows[(size_t)(y - placement.top)];
        const GrColor *first = frame + (size_t)rowStep.a * GR_SCREEN_WIDTH;
        const GrColor *second = frame + (size_t)rowStep.b * GR_SCREEN_WIDTH;
        uint32_t *row = windowRow(dest, pitch, y);
        for (int x = out.left; x <= out.right; x++) {
            const ScaleStep &step = scaler.columns[(size_t)(x - placement.left)];
            uint32_t colour = sample(first, step);
            if (rowStep.weight) colour = blend(colour, sample(second, step), rowStep.weight);
            row[x] = colour;
        }
    }
    return out;
}
