// The drawing surface that pictures and the window paint on: what a device context was to the
// window. A canvas starts with a black one-pixel pen, a white brush and the desktop's default
// font.
#pragma once

#include "BitmapLayout.h"
#include "Geometry.h"

#include <cstdint>

namespace vistrel {

// Colours are 0xRRGGBB.
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kBlack = 0x000000;

// Text layout flags; left-aligned and top-aligned without any.
enum TextFormat : unsigned {
    TextLeft = 0,
    TextCenter = 1 << 0,
    TextRight = 1 << 1,
    TextVCenter = 1 << 2,
    TextSingleLine = 1 << 3,
};

struct TextStyle {
    uint32_t color = kBlack;
    bool underline = false;
    // Fill the text's own box with `background` first; otherwise the text is drawn over what is
    // there.
    bool opaque = false;
    uint32_t background = kWhite;
};

class Canvas {
public:
    virtual ~Canvas() = default;

    // Puts `width` x `height` pixels of a bitmap (rows top first) at (x, y), from (sourceX,
    // sourceY) counted from its top-left pixel and clipped to it. `colors` is the colour table of
    // pictures of 8 bits or fewer, else null. False when nothing could be drawn.
    virtual bool drawPicture(int x, int y, int width, int height, int sourceX, int sourceY,
                             const BitmapInfoHeader& info, const RgbQuad* colors,
                             const uint8_t* bits) = 0;

    // The window's drawing; a canvas that only shows pictures (a test's, a tool's) may ignore it.
    virtual void fillRect(const Rect& rect, uint32_t color) {}
    // The rectangle's outline in the pen (black, one pixel, inside the rectangle) and its inside
    // in the brush colour.
    virtual void rectangle(const Rect& rect, uint32_t brush = kWhite) {}
    // A one-pixel black line; the end point itself is not drawn.
    virtual void line(Point from, Point to) {}
    // UTF-8 text in the default font; "\n" starts a new line unless TextSingleLine is given.
    virtual void drawText(const Rect& rect, const char* text, unsigned format,
                          const TextStyle& style = {}) {}
};

} // namespace vistrel
