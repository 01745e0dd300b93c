// The JPEG XL header reader and decoder on arbitrary bytes, at the viewer's limits.
#include "JxlDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::PictureHeader header;
    vistrel::readJxlHeader(source, header);
    vistrel::Picture picture;
    vistrel::PictureMetadata metadata;
    vistrel::decodeJxl(data, size, picture, metadata);
    return 0;
}
