// A translucent window's shape from its frame's alpha: its pixels of alpha 0 are cut out, so that
// the desktop shows through them (and takes the mouse there) even where nothing composites the
// window.
#pragma once

#include "Geometry.h"

#include <cstdint>
#include <vector>

namespace vistrel {

// The rectangles of the frame's pixels whose alpha (the fourth byte of each 4-byte pixel, rows
// top first `rowSize` bytes apart) is not 0: each row's runs, with rows of the same runs joined
// into one band of rectangles, in the top-to-bottom, left-to-right banded order X11's shapes and
// Qt's regions are made from. Empty when no pixel is transparent, and when every pixel is: the
// window then keeps its whole rectangle.
std::vector<Rect> shapeFromAlpha(const uint8_t* bits, int width, int height, uint32_t rowSize);

} // namespace vistrel
