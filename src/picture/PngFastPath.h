// PNG files as most of them are (one image, every chunk well formed, up to 256 MB of rows),
// decoded without libpng:
// the whole image data inflated in one call into the filtered rows (libdeflate, about twice
// zlib's speed), each row unfiltered and laid into the picture, with the same transformations and
// so the same bytes as the libpng reader gives (PngDecoder.h).
#pragma once

#include "Picture.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

enum class PngFastResult {
    Decoded,
    Refused, // no PNG, interlaced, or more pixels than the data can describe: libpng refuses too
    LeftToLibpng, // anything unusual (a bad checksum, a chunk out of place, data cut short or too
                  // long): the libpng reader decides, as it did before
};

PngFastResult decodePngFast(const uint8_t* data, std::size_t size, Picture& picture);

// The colour table of a picture of 8 bits or fewer: the palette's entries (red, green, blue
// triples), or without one grey levels spread over the whole range, so that 1-bit white is 255.
void setPngColorTable(Picture& picture, const uint8_t* palette, int paletteEntries);

} // namespace vistrel
