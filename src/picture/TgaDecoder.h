#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"

namespace vistrel {

// True-colour TGA files, uncompressed (type 2) or run-length (type 10), 16, 24 or 32 bits.
DecodeResult decodeTga(ByteSource& source, Picture& picture);
DecodeResult decodeTga(const char* path, Picture& picture);

// The 18-byte header: size and pixel depth.
DecodeResult readTgaHeader(ByteSource& source, PictureHeader& header);

} // namespace vistrel
