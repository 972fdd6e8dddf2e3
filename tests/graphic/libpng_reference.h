// The reference for the picture tests: a picture file decoded by libpng and
// mapped to colours as the picture window shows them, and the screen's
// picture area, both row by row as 0xRRGGBB values.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <png.h>

#include "frontend/graphic/library/graphics_library.h"
#include "frontend/graphic/pictures.h"

inline uint32_t packed(int red, int green, int blue)
{
    return uint32_t(red) << 16 | uint32_t(green) << 8 | uint32_t(blue);
}

// The picture as it should look, read by libpng: rows unfiltered and inflated by
// libpng, samples mapped to colours as the picture window shows them (grey levels
// of 8-bit pictures come from a ramp of 128). Empty when libpng refuses the file.
inline std::vector<uint32_t> decodeWithLibpng(const std::string &path)
{
    std::vector<uint32_t> pixels;
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return pixels;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    std::vector<png_byte> data;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        fclose(file);
        return {};
    }
    png_init_io(png, file);
    png_read_info(png, info);
    int width = int(png_get_image_width(png, info)), height = int(png_get_image_height(png, info));
    int depth = png_get_bit_depth(png, info), colourType = png_get_color_type(png, info);
    if (depth < 8) png_set_packing(png);  // one byte per sample, values unscaled
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    data.resize(rowBytes * size_t(height));
    for (int y = 0; y < height; y++) rows.push_back(data.data() + rowBytes * size_t(y));
    png_read_image(png, rows.data());
    png_colorp palette = nullptr;
    int paletteSize = 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_get_PLTE(png, info, &palette, &paletteSize);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const png_byte *p = rows[size_t(y)] + (colourType == PNG_COLOR_TYPE_RGB ? 3 * x : x);
            if (colourType == PNG_COLOR_TYPE_RGB) {
                pixels.push_back(packed(p[0], p[1], p[2]));
            } else if (colourType == PNG_COLOR_TYPE_PALETTE) {
                const png_color &c = palette[*p < paletteSize ? *p : 0];
                pixels.push_back(packed(c.red, c.green, c.blue));
            } else {
                int level = depth == 8 ? (*p / 2) * 255 / 127 : *p * 255 / ((1 << depth) - 1);
                pixels.push_back(packed(level, level, level));
            }
        }
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return pixels;
}

// The screen's picture area, row by row.
inline std::vector<uint32_t> pictureArea()
{
    std::vector<uint32_t> pixels;
    for (int y = 0; y < PICTURE_HEIGHT; y++)
        for (int x = 0; x < PICTURE_WIDTH; x++) pixels.push_back(grScreenPixel(x, y));
    return pixels;
}
