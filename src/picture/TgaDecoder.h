#pragma once

#include "ByteSource.h"
#include "Picture.h"

namespace vistrel {

// True-colour TGA files, uncompressed (type 2) or run-length (type 10), 16, 24 or 32 bits.
bool decodeTga(ByteSource& source, Picture& picture);
bool decodeTga(const char* path, Picture& picture);

} // namespace vistrel
