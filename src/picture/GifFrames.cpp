#include "GifFrames.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"

#include <algorithm>

namespace vistrel {

namespace {

struct FirstImage {
    bool found = false;
    uint64_t right = 0, bottom = 0; // left + width, top + height
    uint64_t dataBytes = 0;         // its LZW sub-block bytes present in the file
};

// Extensions are skipped up to the first image descriptor; files that end or break before it
// have no image.
FirstImage firstImage(const uint8_t* data, std::size_t size) {
    FirstImage image;
    if (size < kGifHeaderAndScreen) return image;
    std::size_t at = kGifHeaderAndScreen + gifColorTableBytes(data[10]);
    uint64_t ignored = 0;
    while (at < size) {
        if (data[at] == kGifImageIntroducer) {
            if (size - at < kGifImageDescriptor) return image;
            image.found = true;
            image.right = uint64_t(littleEndian16(data + at + 1)) + littleEndian16(data + at + 5);
            image.bottom = uint64_t(littleEndian16(data + at + 3)) + littleEndian16(data + at + 7);
            // Local colour table, the LZW minimum code size, then the data sub-blocks.
            at += kGifImageDescriptor + gifColorTableBytes(data[at + 9]) + 1;
            skipGifSubBlocks(data, size, at, image.dataBytes);
            return image;
        }
        if (data[at] != kGifExtension || size - at < 2) return image;
        at = skipGifSubBlocks(data, size, at + 2, ignored); // introducer and label first
    }
    return image;
}

} // namespace

DecodeResult readGifHeader(ByteSource& source, PictureHeader& header) {
    uint8_t head[kGifHeaderAndScreen];
    const std::size_t got = source.readAt(0, head, sizeof head);
    if (!std::equal(head, head + std::min<std::size_t>(got, 3), "GIF")) return Refusal::Malformed;
    if (got < sizeof head) return Refusal::Truncated;
    if (!header.setSize(littleEndian16(head + 6), littleEndian16(head + 8)))
        return Refusal::Malformed;
    header.bitsPerPixel = 24;
    header.frames = 0;
    return kOk;
}

bool gifFirstFrameFits(const uint8_t* data, std::size_t size, uint64_t maxPixels) {
    const FirstImage image = firstImage(data, size);
    return !image.found || image.right * image.bottom <= maxPixels;
}

bool gifDataCanFill(const uint8_t* data, std::size_t size) {
    if (size < kGifHeaderAndScreen) return false;
    const FirstImage image = firstImage(data, size);
    const uint64_t width = std::max<uint64_t>(littleEndian16(data + 6), image.right);
    const uint64_t height = std::max<uint64_t>(littleEndian16(data + 8), image.bottom);
    return fitsItsData(width * height, width * height, lzwProducible(image.dataBytes));
}

} // namespace vistrel
