// The TGA decoder on arbitrary bytes.
#include "TgaDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::Picture picture;
    vistrel::decodeTga(source, picture);
    return 0;
}
