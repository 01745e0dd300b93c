// The EXIF pattern scan over arbitrary bytes: offsets that point anywhere, markers at the edge.
#include "ExifScan.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    int angle = 0;
    const char* text = vistrel::scanExifWindow(data, size, angle);
    if (angle != 0 && angle != 90 && angle != -90) std::abort();
    // Make, a space and Model, each read from inside the window.
    if (text && std::strlen(text) > 2 * vistrel::kExifWindowBytes + 1) std::abort();
    return 0;
}
