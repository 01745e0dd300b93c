// The own BMP decoder on arbitrary bytes.
#include "BmpDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::Picture picture;
    vistrel::decodeBmp(source, picture);
    return 0;
}
