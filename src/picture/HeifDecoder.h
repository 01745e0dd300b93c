#pragma once

#include "ByteSource.h"
#include "ModernSignatures.h"
#include "PictureFormat.h"
#include "PictureMetadata.h"
#include "ReducedDecode.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// HEIF files: HEIC (HEVC) stills, grids included, through libheif and its decoder plugins, and
// the AVIF (AV1) files libavif leaves to it (AvifDecoder.h); the header of both. The primary
// image is decoded as the file says it is to be shown: libheif applies the clean aperture,
// rotation (irot) and mirror (imir), so the EXIF orientation of such a file is not applied again.
// Pictures with alpha become 32-bit (straight alpha), the others 24-bit; samples of more than 8
// bits are reduced with rounding. An ICC profile in colr is handed over as the picture's profile,
// a coded colour description (nclx) as its described colour space.
// Reads the boxes up to the primary image's properties, not its coded data.
DecodeResult readHeifHeader(ByteSource& source, PictureHeader& header);
// Asked for a reduced decode, a file with a thumbnail decodes that instead (`reduced` says so).
DecodeResult decodeHeif(const uint8_t* data, std::size_t size, Picture& picture,
                        PictureMetadata& metadata, ReducedDecode* reduced = nullptr);
DecodeResult decodeHeif(const char* path, Picture& picture, PictureMetadata& metadata);

// Whether a top-level box runs past the end of the file: a file cut short, which the libraries
// report as whatever box they then miss.
bool boxRunsPastEnd(ByteSource& source);

// A coded colour description (the codes of ITU-T H.273, as HEIF's nclx and AV1 carry them, with
// the primaries' chromaticities red, green, blue and white as x, y pairs) as the picture's colour.
// PQ and HLG are tone-mapped for the display (HdrTransfer.h); other curves the colour path does
// not know leave the pixels as they are.
void describeCodedColor(int primaries, int transfer, const float xy[8], PictureMetadata& metadata);

} // namespace vistrel
