#include "BitmapLayout.h"

namespace vistrel {

void expandBitmapRow(const BitmapInfoHeader& info, const RgbQuad* colors, const uint8_t* bits,
                     uint32_t rowSize, int row, int x, int count, uint32_t* out) {
    const uint8_t* s = bits + std::size_t(row) * rowSize;
    const int depth = info.bitCount;
    for (int i = 0; i < count; ++i) {
        const int column = x + i;
        uint32_t b = 0, g = 0, r = 0, a = 0xFF;
        if (depth <= 8) {
            // Indices are packed most significant bits first.
            const int perByte = 8 / depth;
            const int shift = 8 - depth - (column % perByte) * depth;
            const int index = (s[column / perByte] >> shift) & ((1 << depth) - 1);
            if (colors) b = colors[index].blue, g = colors[index].green, r = colors[index].red;
        } else if (depth == 16) {
            const unsigned v = s[2 * column] | s[2 * column + 1] << 8;
            r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            r = r << 3 | r >> 2, g = g << 3 | g >> 2, b = b << 3 | b >> 2;
        } else if (depth == 24) {
            b = s[3 * column], g = s[3 * column + 1], r = s[3 * column + 2];
        } else {
            b = s[4 * column], g = s[4 * column + 1], r = s[4 * column + 2], a = s[4 * column + 3];
        }
        out[i] = a << 24 | r << 16 | g << 8 | b;
    }
}

} // namespace vistrel
