#include "WindowShape.h"

#include <cstring>

namespace vistrel {

namespace {

// The alpha of pixel `x` of a row.
inline uint8_t alphaAt(const uint8_t* row, int x) {
    return row[std::size_t(x) * 4 + 3];
}

// Whether the row has a pixel of alpha 0. Most rows of most pictures have none: this pass has
// no early exit, so that the compiler can take several pixels a step.
bool hasTransparentPixel(const uint8_t* row, int width) {
    bool found = false;
    for (int x = 0; x < width; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, row + std::size_t(x) * 4, 4);
        found |= (pixel & 0xFF000000u) == 0; // little-endian: the alpha is the high byte
    }
    return found;
}

// The runs of the row's visible pixels, as [begin, end) pairs.
void visibleRuns(const uint8_t* row, int width, std::vector<int>& runs) {
    runs.clear();
    int x = 0;
    while (x < width) {
        while (x < width && alphaAt(row, x) == 0)
            ++x;
        if (x == width) break;
        const int begin = x;
        while (x < width && alphaAt(row, x) != 0)
            ++x;
        runs.push_back(begin);
        runs.push_back(x);
    }
}

} // namespace

std::vector<Rect> shapeFromAlpha(const uint8_t* bits, int width, int height, uint32_t rowSize) {
    std::vector<Rect> shape;
    if (!bits || width <= 0 || height <= 0) return shape;
    bool cut = false;
    std::vector<int> band, runs; // the runs of the band being gathered, and of this row
    int bandTop = 0;
    const auto endBand = [&](int bottom) {
        for (std::size_t i = 0; i < band.size(); i += 2)
            shape.push_back({band[i], bandTop, band[i + 1], bottom});
    };
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bits + std::size_t(y) * rowSize;
        if (hasTransparentPixel(row, width)) {
            cut = true;
            visibleRuns(row, width, runs);
        } else {
            runs.assign({0, width});
        }
        if (y > 0 && runs == band) continue;
        if (y > 0) endBand(y);
        band.swap(runs);
        bandTop = y;
    }
    endBand(height);
    if (!cut || shape.empty()) shape.clear();
    return shape;
}

} // namespace vistrel
