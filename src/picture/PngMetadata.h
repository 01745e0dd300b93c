// What a PNG file says beside its pixels: its colour space (iCCP, else sRGB, else gAMA with
// cHRM, where a gamma of about 2.2 with sRGB's primaries counts as sRGB) and its EXIF block
// (eXIf).
#pragma once

#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// Walks the chunks of a whole PNG file in memory up to IEND (or as far as their lengths stay
// inside the data) and fills `metadata`. A profile that does not inflate, or inflates past
// kMaxProfileBytes, counts as none.
void readPngMetadata(const uint8_t* data, std::size_t size, PictureMetadata& metadata);

} // namespace vistrel
