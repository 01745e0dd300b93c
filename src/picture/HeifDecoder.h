#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"
#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// HEIF files: HEIC (HEVC) and AVIF (AV1) stills, grids included, through libheif and its decoder
// plugins. The primary image is decoded as the file says it is to be shown: libheif applies the
// clean aperture, rotation (irot) and mirror (imir), so the EXIF orientation of such a file is
// not applied again. Pictures with alpha become 32-bit (straight alpha), the others 24-bit;
// samples of more than 8 bits are reduced with rounding. An ICC profile in colr is handed over as
// the picture's profile, a coded colour description (nclx) as its described colour space.
bool isHeic(const uint8_t* data, std::size_t size);
bool isAvif(const uint8_t* data, std::size_t size);
// Reads the boxes up to the primary image's properties, not its coded data.
DecodeResult readHeifHeader(ByteSource& source, PictureHeader& header);
DecodeResult decodeHeif(const uint8_t* data, std::size_t size, Picture& picture,
                        PictureMetadata& metadata);
DecodeResult decodeHeif(const char* path, Picture& picture, PictureMetadata& metadata);

} // namespace vistrel
