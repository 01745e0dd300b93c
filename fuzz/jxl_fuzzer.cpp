// The JPEG XL header reader and decoder on arbitrary bytes, at the viewer's limits
// (pictures past the decode floor are read, not decoded: LargePictureCap.h).
#include "JxlDecoder.h"
#include "LargePictureCap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::PictureHeader header;
    vistrel::readJxlHeader(source, header);
    if (!vistrel::decodeWithinFuzzMemory(header)) return 0;
    vistrel::Picture picture;
    vistrel::PictureMetadata metadata;
    vistrel::decodeJxl(data, size, picture, metadata);
    return 0;
}
