// The PNG decoder on arbitrary bytes, and the fast path against libpng: both refuse a file for the
// same reason, or both give the same picture. The reduced read of a neighbour runs on the bytes
// too, at a reduction taken from them: where both decode, a picture of the full decode's depth,
// and at a reduction of 1 the full decode's very picture.
#include "PngDecoder.h"

#include <cstdlib>
#include <cstring>
#include <vector>

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

    vistrel::MemorySource source(data, size);
    std::vector<uint8_t> chunks;
    const uint64_t imageData = vistrel::readPngChunksBesideImage(source, chunks);
    vistrel::Picture reduced;
    const int reduction = size > 0 ? 1 + data[size - 1] % 4 : 2;
    if (vistrel::decodePngReduced(source, imageData, reduction, reduced) && referenceDecoded &&
        (reduced.bitsPerPixel() != reference.bitsPerPixel() ||
         (reduction == 1 && !samePicture(reduced, reference))))
        std::abort();
    return 0;
}
