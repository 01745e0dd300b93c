// PNG files as most of them are (one image, every chunk well formed, up to 256 MB of rows),
// decoded without libpng:
// the whole image data inflated in one call into the filtered rows (libdeflate, about twice
// zlib's speed), each row unfiltered and laid into the picture, with the same transformations and
// so the same bytes as the libpng reader gives (PngDecoder.h).
#pragma once

#include "DecodeResult.h"
#include "Picture.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vistrel {

// Decoded, or refused where libpng refuses too (no PNG, interlaced, more pixels than the data can
// describe); nothing for anything unusual (a bad checksum, a chunk out of place, data cut short or
// too long, a palette with entries less than opaque): the libpng reader decides, as it did before.
std::optional<DecodeResult> decodePngFast(const uint8_t* data, std::size_t size, Picture& picture);

// Whether the bytes start with the PNG signature: refused as malformed when they differ from it,
// as truncated when they hold only a part of it.
DecodeResult checkPngSignature(const uint8_t* data, std::size_t size);

// The depth of the picture a PNG of this colour type and bit depth becomes without a tRNS chunk
// (a transparent colour, or palette entries less than opaque, make it 32-bit): 16-bit samples are
// cut to 8, grey with alpha becomes colour with alpha.
int pngPictureDepth(uint8_t colorType, uint8_t bitDepth);

// The colour table of a picture of 8 bits or fewer: the palette's entries (red, green, blue
// triples), or without one grey levels spread over the whole range, so that 1-bit white is 255.
void setPngColorTable(Picture& picture, const uint8_t* palette, int paletteEntries);

} // namespace vistrel
