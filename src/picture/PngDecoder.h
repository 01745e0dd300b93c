#pragma once

#include "Picture.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// PNG through libpng: every colour type and bit depth, not interlaced. 16-bit channels are cut to
// 8, grey with alpha becomes 32-bit colour, palette and grey pictures keep their depth with a
// colour table.
bool decodePng(const uint8_t* data, std::size_t size, Picture& picture);
bool decodePng(const char* path, Picture& picture);

} // namespace vistrel
