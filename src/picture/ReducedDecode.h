// A first frame decoded smaller than the picture, for formats whose library offers one (WebP's
// scaled decode, a HEIF file's thumbnail): a picture larger than its screen copy shows that much
// sooner, and its full decode is made when needed.
#pragma once

#include "Geometry.h"

#include <cstdint>
#include <functional>

namespace vistrel {

struct ReducedDecode {
    // Asked once the header and orientation are read: the stored size (before the orientation)
    // the decode is to cover at least; an empty size for the full decode.
    std::function<Size(Size stored, uint8_t orientation)> atLeast;
    // Set by a decode that was reduced: the stored size the picture stands for; empty otherwise.
    Size standsFor;
    // Set when the reduced picture is smaller than `atLeast` asked (a thumbnail): a stand-in
    // until the full decode, which should follow at once.
    bool coarse = false;
};

} // namespace vistrel
