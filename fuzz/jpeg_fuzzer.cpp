// decodeJpeg over arbitrary bytes: the header checks, the size rule's walk over the segments, the
// colour and ink paths, damaged data.
#include "JpegDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    vistrel::Picture picture;
    vistrel::decodeJpeg(data, size, picture);
    return 0;
}
