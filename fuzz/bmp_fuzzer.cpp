// The own BMP decoder on arbitrary bytes, and the size rule it shares with the system decoder's
// BMP files.
#include "BmpDecoder.h"
#include "DecodeLimits.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every picture let through is then bounded by its data alone, not by the 64 MB floor.
    vistrel::setDecodeFloor(uint64_t(1) << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::Picture picture;
    vistrel::decodeBmp(source, picture);
    vistrel::bmpDataCanFill(source);
    return 0;
}
