// The TGA decoder on arbitrary bytes.
#include "DecodeLimits.h"
#include "TgaDecoder.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every picture let through is then bounded by its data alone, not by the 64 MB floor.
    vistrel::setDecodeFloor(uint64_t(1) << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::MemorySource source(data, size);
    vistrel::Picture picture;
    vistrel::decodeTga(source, picture);
    return 0;
}
