#pragma once

#include "ByteSource.h"
#include "ModernSignatures.h"
#include "PictureFormat.h"
#include "PictureMetadata.h"
#include "ReducedDecode.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// WebP files ("RIFF", a length, "WEBP"): lossy (VP8) and lossless (VP8L) stills through libwebp.
// Of an animated file the first frame is decoded as a still onto the canvas, and the frames after
// it are handed over in the metadata's animation (WebpFrames.h); a file cut short shows its first
// frame only. Pictures with alpha become 32-bit (straight alpha), the others 24-bit. The ICCP chunk
// is handed over as the picture's profile, the EXIF chunk's orientation and camera as its own. A
// still asked for a reduced decode is scaled by libwebp as it decodes to the least size `reduced`
// names (its aspect kept): the full picture is never made.
DecodeResult readWebpHeader(ByteSource& source, PictureHeader& header);
DecodeResult decodeWebp(const uint8_t* data, std::size_t size, Picture& picture,
                        PictureMetadata& metadata, ReducedDecode* reduced = nullptr);
DecodeResult decodeWebp(const char* path, Picture& picture, PictureMetadata& metadata);

} // namespace vistrel
