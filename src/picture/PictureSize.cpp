#include "PictureSize.h"

#include "JpegDecoder.h"
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
    if (format->id == FormatId::Jpeg && policy.reduceLargeJpeg && copy.width > 0 && jpegLibrary() &&
        jpegReduction(size.width, size.height, copy) > 1)
        return copyBytes; // only the copy is held
    const uint64_t picture =
        paddedRowSize(uint64_t(size.width), uint32_t(std::max(header.bitsPerPixel, 1))) *
        uint64_t(size.height);
    return picture + copyBytes;
}

} // namespace vistrel
