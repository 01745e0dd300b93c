// decodeJpeg over arbitrary bytes: the header checks, the size rule's walk over the segments, the
// colour and ink paths, damaged data; whole and at a DCT reduction (the reduced first frames).
#include "JpegDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    vistrel::Picture picture;
    vistrel::decodeJpeg(data, size, picture);
    // The DCT scale from the file's last byte, so that every eighth is tried on every file.
    const int eighths = size > 0 ? 1 + data[size - 1] % 7 : 4;
    vistrel::Picture reduced;
    vistrel::decodeJpeg(data, size, reduced, vistrel::kMaxPicturePixels, eighths);
    return 0;
}
