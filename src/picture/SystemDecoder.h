#pragma once

#include "Picture.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// The system picture decoder's path: GIF, ICO, CUR, BMP and JPEG. The picture becomes 24 bits
// (unless it already is deeper and of the decoded size) with transparent areas left at
// (250, 250, 250).
bool decodeWithSystem(const uint8_t* data, std::size_t size, Picture& picture);
bool decodeWithSystem(const char* path, Picture& picture);

} // namespace vistrel
