// The bitmaps of metafile records as Qt pictures.
#include "WmfDevice.h"

#include <algorithm>
#include <bit>
#include <iterator>

namespace vistrel {

namespace {

// One channel of a bit-field pixel scaled to 8 bits.
uint32_t channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const uint64_t max = mask >> shift;
    return uint32_t(((pixel & mask) >> shift) * uint64_t(255) / max);
}

} // namespace

QImage wmfImage(const WmfBitmap& b, const WmfPalette* palette, QRect source) {
    source = source.intersected(QRect(0, 0, b.width, b.height));
    if (source.isEmpty()) return {};
    QImage image(source.size(), QImage::Format_RGB32);
    if (image.isNull()) return {};

    // The colour table as 0xFFRRGGBB words.
    uint32_t table[256];
    std::fill(std::begin(table), std::end(table), 0xFF000000u); // indices beyond it: black
    for (int i = 0; i < b.colorCount && i < 256; ++i) {
        const uint8_t* entry = b.colors + std::size_t(i) * std::size_t(b.colorEntrySize);
        if (b.colorEntrySize == 2)
            table[i] =
                0xFF000000 | wmfRgb(wmfPaletteColor(palette, entry[0] | entry[1] << 8), nullptr);
        else
            table[i] = 0xFF000000u | uint32_t(entry[2]) << 16 | uint32_t(entry[1]) << 8 | entry[0];
    }
    const int bpp = b.bitCount;
    for (int y = 0; y < source.height(); ++y) {
        const int row = source.top() + y; // counted from the top
        const int memoryRow = b.topDown ? row : b.height - 1 - row;
        const uint8_t* bits = b.bits + std::size_t(memoryRow) * b.stride;
        auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const std::size_t column = std::size_t(source.left()) + std::size_t(x);
            uint32_t pixel = 0;
            switch (bpp) {
            case 1:
                pixel = table[bits[column / 8] >> (7 - column % 8) & 1];
                break;
            case 4:
                pixel = table[bits[column / 2] >> (column % 2 ? 0 : 4) & 0xF];
                break;
            case 8:
                pixel = table[bits[column]];
                break;
            case 16: {
                const uint32_t v = bits[2 * column] | bits[2 * column + 1] << 8;
                pixel = 0xFF000000u | channel(v, b.masks[0]) << 16 | channel(v, b.masks[1]) << 8 |
                        channel(v, b.masks[2]);
                break;
            }
            case 24: {
                const uint8_t* p = bits + 3 * column;
                pixel = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
                break;
            }
            default: { // 32
                const uint8_t* p = bits + 4 * column;
                const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                   uint32_t(p[3]) << 24;
                pixel = 0xFF000000u | channel(v, b.masks[0]) << 16 | channel(v, b.masks[1]) << 8 |
                        channel(v, b.masks[2]);
                break;
            }
            }
            out[x] = pixel;
        }
    }
    return image;
}

} // namespace vistrel
