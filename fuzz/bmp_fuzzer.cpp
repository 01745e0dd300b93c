// The own BMP decoder on arbitrary bytes, and the size rule it shares with the system decoder's
// BMP files.
#include "BmpDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::Picture picture;
    vistrel::decodeBmp(source, picture);
    vistrel::bmpDataCanFill(source);
    return 0;
}
