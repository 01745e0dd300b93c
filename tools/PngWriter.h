// Writes 8-bit RGB or RGBA rows as a PNG file.
#pragma once

#include <cstdint>
#include <vector>

namespace vistrel {

// `pixels` holds 0xAARRGGBB words, top row first; alpha is written only when `withAlpha`.
bool writePng(const char* path, int width, int height, const std::vector<uint32_t>& pixels,
              bool withAlpha);

} // namespace vistrel
