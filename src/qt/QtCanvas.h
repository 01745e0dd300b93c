// The Canvas on a QPainter.
#pragma once

#include "Canvas.h"

class QPainter;

namespace vistrel {

class QtCanvas : public Canvas {
public:
    explicit QtCanvas(QPainter& painter) : painter_(painter) {}
    bool drawPicture(int x, int y, int width, int height, int sourceX, int sourceY,
                     const BitmapInfoHeader& info, const RgbQuad* colors,
                     const uint8_t* bits) override;
    void fillRect(const Rect& rect, uint32_t color) override;
    void rectangle(const Rect& rect, uint32_t brush) override;
    void line(Point from, Point to) override;
    void drawText(const Rect& rect, const char* text, unsigned format,
                  const TextStyle& style) override;

protected:
    QPainter& painter_;

private:
    // Puts rows [top, bottom) and columns [left, right) of a 24- or 32-bit bitmap at (x, y) of
    // the painter's image directly; false when the painter is not plainly on a 32-bit image.
    bool drawDirect(int x, int y, int left, int right, int top, int bottom,
                    const BitmapInfoHeader& info, const uint8_t* bits, uint32_t rowSize);
};

} // namespace vistrel
