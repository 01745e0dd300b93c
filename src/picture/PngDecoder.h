#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"
#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// PNG files: every colour type and bit depth, not interlaced. 16-bit channels are cut to 8, grey
// with alpha becomes 32-bit colour, palette and grey pictures keep their depth with a colour
// table. Decoded by the fast path (PngFastPath.h) when it takes the file, by libpng otherwise;
// the bytes are the same either way.
DecodeResult decodePng(const uint8_t* data, std::size_t size, Picture& picture);
DecodeResult decodePng(const char* path, Picture& picture);
// The same with what the file says beside its pixels (PngMetadata.h).
DecodeResult decodePng(const char* path, Picture& picture, PictureMetadata& metadata);
// Through libpng alone: the reference the fast path is held to.
DecodeResult decodePngWithLibpng(const uint8_t* data, std::size_t size, Picture& picture);

// The signature and the IHDR chunk, which comes first: size, and depth as decodePng holds it.
DecodeResult readPngHeader(ByteSource& source, PictureHeader& header);

} // namespace vistrel
