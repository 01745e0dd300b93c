// For the harnesses of the codecs with no bound of their own (WebP, HEIF, AVIF, JPEG XL): their
// size rule lets a flat picture of a kilobyte or two claim a hundred million bytes and more, as a
// real flat picture may, and decoding one through the library, its colour conversion and our copy
// costs several times that under the sanitizers, past the fuzzer's memory limit, without any fault.
// Such inputs still go through the header reader; the decode runs only for pictures up to the
// decode floor, which every file may reach whatever its data.
#pragma once

#include "DecodeLimits.h"
#include "PictureFormat.h"

namespace vistrel {

inline bool decodeWithinFuzzMemory(const PictureHeader& header) {
    return cappedProduct(header.pixels(), 4) <= kDecodeFloorBytes;
}

} // namespace vistrel
