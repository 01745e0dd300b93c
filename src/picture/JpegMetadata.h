// What a JPEG file says beside its pixels, read from its segments before the first scan: the
// EXIF block (APP1 "Exif") and the ICC profile (APP2 "ICC_PROFILE" chunks).
#pragma once

#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// Fills `metadata` from the file's bytes: orientation and camera text from the first EXIF block,
// the profile from its chunks when every chunk of the sequence is there exactly once (else
// none). Returns the component count of the frame header (4 for CMYK and YCCK files), 0 when
// none was found.
int readJpegMetadata(const uint8_t* data, std::size_t size, PictureMetadata& metadata);

} // namespace vistrel
