// What a picture file will take in memory, read from its header alone: the prefetcher's budget
// leaves out a neighbour before decoding it.
#pragma once

#include "Scaling.h"

#include <cstdint>

namespace vistrel {

// The size and depth of the picture a file decodes to, from its header: JPEG (its frame header),
// PNG, BMP, TGA, PSD and GIF (the logical screen). False for other files or a header that
// cannot be read.
struct HeaderSize {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
};
bool readHeaderSize(const char* path, HeaderSize& size);

// The bytes a CachedPicture decoded from `path` for `policy` holds: the picture and its screen
// copy (only the screen copy for a JPEG the policy lets be reduced). 0 when the header cannot
// tell.
uint64_t estimateHeldBytes(const char* path, const ScreenCopyPolicy& policy);

} // namespace vistrel
