#pragma once

#include "Picture.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// PNG files: every colour type and bit depth, not interlaced. 16-bit channels are cut to 8, grey
// with alpha becomes 32-bit colour, palette and grey pictures keep their depth with a colour
// table. Decoded by the fast path (PngFastPath.h) when it takes the file, by libpng otherwise;
// the bytes are the same either way.
bool decodePng(const uint8_t* data, std::size_t size, Picture& picture);
bool decodePng(const char* path, Picture& picture);
// Through libpng alone: the reference the fast path is held to.
bool decodePngWithLibpng(const uint8_t* data, std::size_t size, Picture& picture);

} // namespace vistrel
