// The HEIF and AVIF header reader and decoders (libheif and its HEVC and AV1 decoders; libavif
// and dav1d for AVIF, as the format table chooses by the major brand) on arbitrary bytes, at the
// viewer's limits
// (pictures past the decode floor are read, not decoded: LargePictureCap.h).
#include "AvifDecoder.h"
#include "HeifDecoder.h"
#include "LargePictureCap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::PictureHeader header;
    vistrel::readHeifHeader(source, header);
    if (!vistrel::decodeWithinFuzzMemory(header)) return 0;
    vistrel::Picture picture;
    vistrel::PictureMetadata metadata;
    if (vistrel::isAvif(data, size))
        vistrel::decodeAvif(data, size, picture, metadata);
    else
        vistrel::decodeHeif(data, size, picture, metadata);
    return 0;
}
