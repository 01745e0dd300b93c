// What a picture file will take in memory, read from its header alone: the prefetcher's budget
// leaves out a neighbour before decoding it.
#pragma once

#include "Scaling.h"

#include <cstdint>

namespace vistrel {

// The bytes a CachedPicture decoded from `path` for `policy` holds: the picture and its screen
// copy (only the screen copy when the policy wants no more), from the header its format's
// row reads (readPictureHeader). 0 when no header can be read.
uint64_t estimateHeldBytes(const char* path, const ScreenCopyPolicy& policy);

} // namespace vistrel
