// The PNG decoder on arbitrary bytes, and the fast path against libpng: both refuse a file for the
// same reason, or both give the same picture.
#include "PngDecoder.h"

#include <cstdlib>
#include <cstring>

namespace {

bool samePicture(vistrel::Picture& a, vistrel::Picture& b) {
    if (a.width() != b.width() || a.height() != b.height() ||
        a.bitsPerPixel() != b.bitsPerPixel() || a.headerSize() != b.headerSize())
        return false;
    if (std::memcmp(a.info() + 1, b.info() + 1, a.headerSize() - 40) != 0) return false;
    const std::size_t rowBytes = (std::size_t(a.width()) * a.bitsPerPixel() + 7) / 8;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.pixels() + std::size_t(y) * a.rowSize(),
                        b.pixels() + std::size_t(y) * b.rowSize(), rowBytes) != 0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::Picture picture, reference;
    // The same picture, or a refusal for the same reason.
    const vistrel::DecodeResult decoded = vistrel::decodePng(data, size, picture);
    const vistrel::DecodeResult referenceDecoded =
        vistrel::decodePngWithLibpng(data, size, reference);
    if (decoded.refusal() != referenceDecoded.refusal() ||
        (decoded && !samePicture(picture, reference)))
        std::abort();
    return 0;
}
