// A canvas over a GDI device context: the window's frame, or a bitmap.
#pragma once

#include "Canvas.h"

#include <windows.h>

namespace vistrel {

class WinCanvas : public Canvas {
public:
    // Draws with `dc`, which keeps what it had selected; the default GUI font is used for text.
    explicit WinCanvas(HDC dc) : dc_(dc) {}

    bool drawPicture(int x, int y, int width, int height, int sourceX, int sourceY,
                     const BitmapInfoHeader& info, const RgbQuad* colors,
                     const uint8_t* bits) override;
    void fillRect(const Rect& rect, uint32_t color) override;
    void rectangle(const Rect& rect, uint32_t brush) override;
    void line(Point from, Point to) override;
    void drawText(const Rect& rect, const char* text, unsigned format,
                  const TextStyle& style) override;

protected:
    HDC dc() const { return dc_; }

private:
    HDC dc_;
};

// GDI's colour for 0xRRGGBB.
inline COLORREF colorRef(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

} // namespace vistrel
