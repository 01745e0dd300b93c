#pragma once

#include "PictureFormat.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// The gray the viewer shows behind transparency where nothing blends it: the system decoder leaves
// transparent areas at (250, 250, 250), and a translucent window the desktop does not composite is
// blended over it.
inline constexpr uint8_t kTransparentBackdrop = 250;

// The system picture decoder's path: GIF, ICO, CUR, WMF, BMP and JPEG, told by their first bytes
// and held to the size rule first (PictureFormat::systemDataCanFill). The picture becomes 24 bits
// (unless it already is deeper and of the decoded size) with transparent areas left at
// (250, 250, 250).
DecodeResult decodeWithSystem(const uint8_t* data, std::size_t size, Picture& picture);
DecodeResult decodeWithSystem(const char* path, Picture& picture);

} // namespace vistrel
