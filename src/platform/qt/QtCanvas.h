// The Canvas on a QPainter.
#pragma once

#include "Canvas.h"

class QPainter;

namespace vistrel {

class QtCanvas final : public Canvas {
public:
    explicit QtCanvas(QPainter& painter) : painter_(painter) {}
    bool drawPicture(int x, int y, int width, int height, int sourceX, int sourceYFromBottom,
                     const BitmapInfoHeader& info, const RgbQuad* colors,
                     const uint8_t* bits) override;

private:
    QPainter& painter_;
};

} // namespace vistrel
