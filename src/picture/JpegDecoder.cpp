#include "JpegDecoder.h"

namespace vistrel {

// The run-time JPEG library is not wired in yet: JPEG files take the system decoder.
const JpegLibrary* jpegLibrary() {
    return nullptr;
}

void disableJpegLibrary() {}

bool decodeJpeg(const char*, Picture&) {
    return false;
}

} // namespace vistrel
