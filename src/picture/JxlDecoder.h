#pragma once

#include "ByteSource.h"
#include "ModernSignatures.h"
#include "PictureFormat.h"
#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// JPEG XL files, a bare codestream (FF 0A) or in its box container, through libjxl: the first
// frame as shown, rows as stored. The codestream's orientation field is handed over (the EXIF box
// of such a file is no authority: encoders move its orientation into the codestream), as is the
// colour space the decoder gives the samples in: plain sRGB, or an ICC profile. Pictures with
// alpha become 32-bit (straight alpha), the others 24-bit; deeper samples are rounded to 8 bits
// by the decoder.
DecodeResult readJxlHeader(ByteSource& source, PictureHeader& header);
DecodeResult decodeJxl(const uint8_t* data, std::size_t size, Picture& picture,
                       PictureMetadata& metadata);
DecodeResult decodeJxl(const char* path, Picture& picture, PictureMetadata& metadata);

} // namespace vistrel
