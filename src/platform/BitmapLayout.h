// The bitmap layout shared by the picture model and the platform's drawing: a BMP file's info
// header and colour table over rows padded to 4 bytes. In memory the rows run top first; a BMP
// file stores them bottom-up, and its reader and writer turn them round.
#pragma once

#include <cstdint>

namespace vistrel {

// The 40-byte bitmap info header of BMP files and of every Picture's info block.
struct BitmapInfoHeader {
    uint32_t size;
    int32_t width;
    int32_t height; // in a BMP file: positive for rows stored bottom-up
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// One colour table entry: blue, green, red, reserved.
struct RgbQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};
static_assert(sizeof(RgbQuad) == 4);

// A device-dependent bitmap as the platform hands it over (the clipboard's picture): rows top
// first, `pitch` bytes apart; 32-bit pixels are blue, green, red, unused.
struct BitmapDescription {
    int width = 0;
    int height = 0;
    int pitch = 0;
    int bitsPerPixel = 0;
    const uint8_t* bits = nullptr; // pitch x height bytes
};

} // namespace vistrel

namespace vistrel {

// Expands `count` pixels of row `row` of a bitmap, from column `x`, into 0xAARRGGBB words:
// colour table indices through `colors`, 5-5-5 widened to 8 bits per channel, 24 bits opaque,
// 32 bits with their fourth byte as alpha. The caller keeps row and columns inside the bitmap.
void expandBitmapRow(const BitmapInfoHeader& info, const RgbQuad* colors, const uint8_t* bits,
                     uint32_t rowSize, int row, int x, int count, uint32_t* out);

} // namespace vistrel
