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
    const bool read = bool(vistrel::readHeifHeader(source, header));
    if (!vistrel::decodeWithinFuzzMemory(header)) return 0;
    vistrel::Picture picture;
    vistrel::PictureMetadata metadata;
    if (!vistrel::isAvif(data, size)) {
        vistrel::decodeHeif(data, size, picture, metadata);
        return 0;
    }
    // A file whose header libheif refuses may still be one libavif reads, of a size no header
    // said: decoded only where the size rule keeps it within the decode floor.
    if (read || vistrel::avifProducible(size) <= vistrel::kDecodeFloorBytes / 4)
        vistrel::decodeAvif(data, size, picture, metadata);
    return 0;
}
