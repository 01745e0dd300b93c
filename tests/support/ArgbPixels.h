// A picture's pixels in one form whatever its depth: the form tests compare.
#pragma once

#include "Picture.h"

#include <vector>

namespace vistrel::test {

// The picture as 0xAARRGGBB words, top row first (pictures of 24 bits or fewer opaque).
inline std::vector<uint32_t> argbPixels(Picture& picture) {
    const int w = picture.width(), h = picture.height();
    std::vector<uint32_t> out(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        expandBitmapRow(*picture.info(), picture.colorTable(), picture.pixels(), picture.rowSize(),
                        y, 0, w, out.data() + std::size_t(y) * std::size_t(w));
    return out;
}

} // namespace vistrel::test
