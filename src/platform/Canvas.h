// The drawing surface that pictures and the window paint on.
#pragma once

#include "Dib.h"

namespace vistrel {

class Canvas {
public:
    virtual ~Canvas() = default;

    // Puts `width` x `height` pixels of a bottom-up bitmap at (x, y). `sourceX` is counted from
    // the left, `sourceYFromBottom` from the bottom row, as device-independent bitmaps count.
    // `colors` is the colour table of pictures of 8 bits or fewer, else null. False when nothing
    // could be drawn.
    virtual bool drawPicture(int x, int y, int width, int height, int sourceX,
                             int sourceYFromBottom, const BitmapInfoHeader& info,
                             const RgbQuad* colors, const uint8_t* bits) = 0;
};

} // namespace vistrel
