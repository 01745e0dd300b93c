// Reversing the filters of PNG rows: each row of a PNG image starts with a filter type, and its
// bytes are stored as differences from the byte one pixel to the left (Sub), the byte above (Up),
// their average (Average) or whichever of left, above and upper-left a predictor picks (Paeth).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistrel {

// Turns `row` (`length` bytes after its filter type byte) back into samples, in place. `above` is
// the previous row already unfiltered, or null for the first row (which counts as zeros).
// `bytesPerPixel` is the pixel's size rounded up to a whole byte (1 for depths below 8). False
// for a filter type other than 0 to 4.
bool unfilterRow(uint8_t filter, uint8_t* row, const uint8_t* above, std::size_t length,
                 unsigned bytesPerPixel);

} // namespace vistrel
