// The WebP header reader and decoder on arbitrary bytes, at the viewer's limits
// (pictures past the decode floor are read, not decoded: LargePictureCap.h).
#include "LargePictureCap.h"
#include "WebpDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::PictureHeader header;
    vistrel::readWebpHeader(source, header);
    if (!vistrel::decodeWithinFuzzMemory(header)) return 0;
    vistrel::Picture picture;
    vistrel::PictureMetadata metadata;
    // Half the inputs through the scaled decode of the reduced first frame, to a third the size.
    vistrel::ReducedDecode reduced;
    reduced.atLeast = [](vistrel::Size stored, uint8_t) {
        return vistrel::Size{stored.width / 3, stored.height / 3};
    };
    vistrel::decodeWebp(data, size, picture, metadata, size % 2 ? &reduced : nullptr);
    return 0;
}
