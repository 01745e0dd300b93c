// The stretch presenter: keeps the last uploaded picture as a 32-bit off-screen surface and
// draws it scaled, keeping its aspect, into a rectangle of the window. The window uses it when a
// picture's size differs from the window's (while zooming, or when no fitted copy exists), so
// that the picture is scaled on the way to the screen instead of resampled for every frame.
#pragma once

#include "BitmapLayout.h"
#include "Geometry.h"
#include "LargeBuffer.h"

#include <cstdint>

namespace vistrel {

class WindowHost;

class StretchPresenter {
public:
    explicit StretchPresenter(WindowHost& window) : window_(window) {}

    // Copies a bitmap into the surface (0x00RRGGBB words). A surface of the same size is reused.
    // Every depth is accepted: lower ones go through their colour table. False when the bitmap is
    // empty or the surface cannot be had.
    bool upload(const BitmapInfoHeader& info, const RgbQuad* colors, const uint8_t* bits);
    // Draws the surface into `client` shrunk to the surface's aspect and centred; the margins are
    // not painted. False without a surface.
    bool blit(const Rect& client);

    int surfaceWidth() const { return width_; }
    int surfaceHeight() const { return height_; }
    const uint32_t* surface() const { return reinterpret_cast<const uint32_t*>(surface_.data()); }

    // `rect` shrunk to the aspect of a picture of pictureWidth x pictureHeight: half the margin,
    // rounded down, is taken from each side (an odd margin leaves its extra pixel inside).
    static Rect aspectFit(const Rect& rect, int pictureWidth, int pictureHeight);

private:
    WindowHost& window_;
    LargeBuffer surface_;
    int width_ = 0;
    int height_ = 0;
};

} // namespace vistrel
