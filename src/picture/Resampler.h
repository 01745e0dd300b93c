// Our own picture resampler: the three operations the screen copy and the window's zoom use.
// Each takes the pictures' headers and pixel blocks (rows padded to 4 bytes) and handles 24- and
// 32-bit pictures; false when a header is missing, empty, compressed or of another depth, or
// memory runs out. Single-threaded; fixed-point with SIMD where the processor has it.
#pragma once

#include "BitmapLayout.h"

#include <cstdint>

namespace vistrel {

// Filters of resizePicture.
enum class ResizeFilter {
    // A triangle (bilinear) kernel widened by the reduction factor: every source pixel
    // contributes, so a reduction shows no aliasing.
    Triangle,
    // Lanczos-3, widened likewise: sharper, for the zoom's high-quality mode.
    Lanczos3,
};

// Resamples the source to the destination's size with the given filter. A 24-bit source into a
// 32-bit destination gets alpha 255; a 32-bit source's alpha is resampled like a colour.
bool resizePicture(uint8_t* destinationPixels, const BitmapInfoHeader* destinationInfo,
                   const uint8_t* sourcePixels, const BitmapInfoHeader* sourceInfo,
                   ResizeFilter filter);
// Copies a picture of the same size into another depth: 24 to 32 bits gives alpha 255 and
// keeps the colour bytes; 32 to 24 drops alpha.
bool convertPicture(uint8_t* destinationPixels, const BitmapInfoHeader* destinationInfo,
                    const uint8_t* sourcePixels, const BitmapInfoHeader* sourceInfo);
// A fast reduction by area averaging: each destination pixel is the mean of the source area it
// covers, partly covered pixels counting by their share. Note the argument order (headers
// first), which is the averaging entry point's own.
bool averagePicture(const BitmapInfoHeader* destinationInfo, uint8_t* destinationPixels,
                    const BitmapInfoHeader* sourceInfo, const uint8_t* sourcePixels);

// Tests of the plain and SSE2 code on processors that would take a wider path: the resampler uses
// nothing beyond the given level from now on. Every level gives the same bytes.
enum ResamplerSimd : int { kResamplerPlain = 0, kResamplerSse2 = 1, kResamplerBest = 2 };
void limitResamplerSimd(int level);

} // namespace vistrel
