// The HEIF and AVIF header reader and decoder (libheif and its HEVC and AV1 decoders) on
// arbitrary bytes, at the viewer's limits
// (pictures past the decode floor are read, not decoded: LargePictureCap.h).
#include "HeifDecoder.h"
#include "LargePictureCap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::PictureHeader header;
    vistrel::readHeifHeader(source, header);
    if (!vistrel::decodeWithinFuzzMemory(header)) return 0;
    vistrel::Picture picture;
    vistrel::PictureMetadata metadata;
    vistrel::decodeHeif(data, size, picture, metadata);
    return 0;
}
