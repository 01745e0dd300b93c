// The PNG decoder on arbitrary bytes.
#include "PngDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vistrel::Picture picture;
    vistrel::decodePng(data, size, picture);
    return 0;
}
