#include "Orientation.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

// Mirrors every row left to right in place.
void mirrorRows(Picture& picture) {
    const int w = picture.width(), h = picture.height();
    const std::size_t pixel = std::size_t(picture.bitsPerPixel() / 8);
    const uint32_t row = picture.rowSize();
    uint8_t held[4];
    for (int y = 0; y < h; ++y) {
        uint8_t* left = picture.pixels() + std::size_t(y) * row;
        uint8_t* right = left + std::size_t(w - 1) * pixel;
        for (; left < right; left += pixel, right -= pixel) {
            std::memcpy(held, left, pixel);
            std::memcpy(left, right, pixel);
            std::memcpy(right, held, pixel);
        }
    }
}

// Puts the rows in the opposite order in place.
void flipRows(Picture& picture) {
    const int h = picture.height();
    const uint32_t row = picture.rowSize();
    for (int top = 0, bottom = h - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(picture.pixels() + std::size_t(top) * row,
                         picture.pixels() + std::size_t(top + 1) * row,
                         picture.pixels() + std::size_t(bottom) * row);
}

} // namespace

void orientPicture(Picture& picture, int orientation) {
    if (orientation < 2 || orientation > 8 || picture.empty()) return;
    if (picture.bitsPerPixel() < 24 && !picture.convertTo24()) return;
    if (picture.bitsPerPixel() != 24 && picture.bitsPerPixel() != 32) return;
    switch (orientation) {
    case 2:
        mirrorRows(picture);
        break;
    case 3:
        flipRows(picture);
        mirrorRows(picture);
        break;
    case 4:
        flipRows(picture);
        break;
    case 5: // the transpose: a quarter turn clockwise, then mirrored
        picture.rotateQuarter(90);
        mirrorRows(picture);
        break;
    case 6:
        picture.rotateQuarter(90);
        break;
    case 7: // the transverse: a quarter turn counter-clockwise, then mirrored
        picture.rotateQuarter(-90);
        mirrorRows(picture);
        break;
    case 8:
        picture.rotateQuarter(-90);
        break;
    }
}

} // namespace vistrel
