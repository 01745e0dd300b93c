#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"
#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// WebP files ("RIFF", a length, "WEBP"): lossy (VP8) and lossless (VP8L) stills, and of an
// animated file its first frame on the canvas, through libwebp. Pictures with alpha become 32-bit
// (straight alpha), the others 24-bit. The ICCP chunk is handed over as the picture's profile,
// the EXIF chunk's orientation and camera as its own.
bool isWebp(const uint8_t* data, std::size_t size);
DecodeResult readWebpHeader(ByteSource& source, PictureHeader& header);
DecodeResult decodeWebp(const uint8_t* data, std::size_t size, Picture& picture,
                        PictureMetadata& metadata);
DecodeResult decodeWebp(const char* path, Picture& picture, PictureMetadata& metadata);

} // namespace vistrel
