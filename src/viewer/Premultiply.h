// Straight-alpha pixels made ready for the screen: premultiplied for a compositor to blend, or
// blended here over a colour where nothing blends the window. Blue, green, red, alpha bytes; the
// colours of a pixel of alpha a become s * a / 255, rounded down, and a blend over `backdrop` is
// (s * a + backdrop * (255 - a)) / 255, rounded to nearest.
#pragma once

#include <cstdint>

namespace vistrel {

enum class AlphaShown {
    Premultiplied, // alpha kept
    OverBackdrop,  // opaque, but alpha 0 stays fully transparent (cut from the window's shape)
    OverBlack,     // opaque everywhere
};

// `width` pixels from `from` to `to` (which may be the same row). Four pixels at a time where
// the processor has SSE2: the translucent frame of a fitted picture is a million pixels and more.
void premultiplyRow(const uint8_t* from, uint8_t* to, int width, AlphaShown shown,
                    uint8_t backdrop);

} // namespace vistrel
