#include "GifFrames.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"

#include <algorithm>

namespace vistrel {

namespace {

constexpr std::size_t kHeaderAndScreen = 6 + 7; // "GIF89a", then the logical screen descriptor
constexpr std::size_t kImageDescriptor = 10;    // introducer, left, top, width, height, packed
constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImageIntroducer = 0x2C;

// Bytes of a colour table announced by a packed field: bit 7 set, 3 x 2^(size + 1) bytes.
std::size_t colorTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3u * (2u << (packed & 7)) : 0;
}

// Sub-blocks from `at`: a length byte and that many bytes, up to a zero length. Returns where
// they end (at most `size`) and adds the data bytes present to `bytes`.
std::size_t skipSubBlocks(const uint8_t* data, std::size_t size, std::size_t at, uint64_t& bytes) {
    while (at < size && data[at] != 0) {
        bytes += std::min<std::size_t>(data[at], size - at - 1);
        at += std::size_t(data[at]) + 1;
    }
    return std::min(at + 1, size);
}

struct FirstImage {
    bool found = false;
    uint64_t right = 0, bottom = 0; // left + width, top + height
    uint64_t dataBytes = 0;         // its LZW sub-block bytes present in the file
};

// Extensions are skipped up to the first image descriptor; files that end or break before it
// have no image.
FirstImage firstImage(const uint8_t* data, std::size_t size) {
    FirstImage image;
    if (size < kHeaderAndScreen) return image;
    std::size_t at = kHeaderAndScreen + colorTableBytes(data[10]);
    uint64_t ignored = 0;
    while (at < size) {
        if (data[at] == kImageIntroducer) {
            if (size - at < kImageDescriptor) return image;
            image.found = true;
            image.right = uint64_t(littleEndian16(data + at + 1)) + littleEndian16(data + at + 5);
            image.bottom = uint64_t(littleEndian16(data + at + 3)) + littleEndian16(data + at + 7);
            // Local colour table, the LZW minimum code size, then the data sub-blocks.
            at += kImageDescriptor + colorTableBytes(data[at + 9]) + 1;
            skipSubBlocks(data, size, at, image.dataBytes);
            return image;
        }
        if (data[at] != kExtension || size - at < 2) return image;
        at = skipSubBlocks(data, size, at + 2, ignored); // introducer and label first
    }
    return image;
}

} // namespace

DecodeResult readGifHeader(ByteSource& source, PictureHeader& header) {
    uint8_t head[kHeaderAndScreen];
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
    if (size < kHeaderAndScreen) return false;
    const FirstImage image = firstImage(data, size);
    const uint64_t width = std::max<uint64_t>(littleEndian16(data + 6), image.right);
    const uint64_t height = std::max<uint64_t>(littleEndian16(data + 8), image.bottom);
    return fitsItsData(width * height, width * height, lzwProducible(image.dataBytes));
}

} // namespace vistrel
