// The system picture decoder's player for placeable Windows metafiles.
#pragma once

#include "Platform.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// Draws a placeable metafile at 96 dots per inch onto a picture that starts as (250, 250, 250)
// everywhere, and hands its rows to `sink`; what no record drew reaches the sink transparent.
// Refused without a readable placeable header (malformed), for a picture of more than
// `maxPixels` pixels (too large), or when the sink refuses the size. Records the player does not
// know are passed over by their size; a record that claims more than the file holds, or the end of
// the work budget, ends the picture.
DecodeResult playPlaceableWmf(const uint8_t* data, std::size_t size, int64_t maxPixels,
                              SystemImageSink& sink);

} // namespace vistrel
