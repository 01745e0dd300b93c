#pragma once

#include "PictureFormat.h"
#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// AVIF stills, grids included, through libavif and dav1d: about three times faster than libheif's
// AV1 path, and its conversion writes our blue-green-red rows directly. The header comes from the
// HEIF reader (readHeifHeader), as for HEIC. Rotation (irot) and mirror (imir) become the
// picture's orientation, so an EXIF orientation in the file is not applied again; a file with a
// clean aperture (a crop) goes to libheif, which applies it. Alpha is straight; samples of more
// than 8 bits are reduced with rounding. An ICC profile is handed over as the picture's profile,
// a coded colour description as its described colour space.
DecodeResult decodeAvif(const uint8_t* data, std::size_t size, Picture& picture,
                        PictureMetadata& metadata);
DecodeResult decodeAvif(const char* path, Picture& picture, PictureMetadata& metadata);

} // namespace vistrel
