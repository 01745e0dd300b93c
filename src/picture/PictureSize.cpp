#include "PictureSize.h"

#include "PictureFormat.h"

#include <algorithm>

namespace vistrel {

uint64_t estimateHeldBytes(const char* path, const ScreenCopyPolicy& policy) {
    PictureHeader header;
    const PictureFormat* format = readPictureHeader(path, header);
    if (!format) return 0;
    const Size size{header.width, header.height};
    // The screen copy, 32 bits (a 32-bit picture counted as transparent: the larger case).
    const Size copy = screenCopySize(size, std::max(header.bitsPerPixel, 24), policy);
    const uint64_t copyBytes = uint64_t(copy.width) * uint64_t(copy.height) * 4;
    // Only the copy is held when the policy wants no more (a picture below 24 bits gets none).
    if (policy.screenCopyOnly && screenCopySize(size, header.bitsPerPixel, policy).width > 0)
        return copyBytes;
    const uint64_t picture =
        paddedRowSize(uint64_t(size.width), uint32_t(std::max(header.bitsPerPixel, 1))) *
        uint64_t(size.height);
    return picture + copyBytes;
}

} // namespace vistrel
