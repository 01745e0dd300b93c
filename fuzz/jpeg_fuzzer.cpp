// decodeJpeg over arbitrary bytes: the header checks, the colour and ink paths, damaged data.
#include "JpegDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    vistrel::Picture picture;
    // A smaller pixel limit than the viewer's keeps every run fast and inside the fuzzer's
    // memory limit; the checks before it and the decode paths are the same.
    vistrel::decodeJpeg(data, size, picture, uint64_t(1) << 22);
    return 0;
}
