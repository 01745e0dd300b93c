// decodeJpeg over arbitrary bytes: the header checks, the size rule's walk over the segments, the
// colour and ink paths, damaged data.
#include "DecodeLimits.h"
#include "JpegDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The viewer's pixel limit holds; the size rule's floor is lowered so that every picture let
    // through is bounded by its data alone and each run stays short.
    vistrel::setDecodeFloor(uint64_t(1) << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    vistrel::Picture picture;
    vistrel::decodeJpeg(data, size, picture);
    return 0;
}
