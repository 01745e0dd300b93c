#include "GifFrames.h"

namespace vistrel {

namespace {

constexpr std::size_t kHeaderAndScreen = 6 + 7; // "GIF89a", then the logical screen descriptor
constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImageDescriptor = 0x2C;

uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

// Bytes of a colour table announced by a packed field: bit 7 set, 3 x 2^(size + 1) bytes.
std::size_t colorTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3u * (2u << (packed & 7)) : 0;
}

} // namespace

bool gifFirstFrameFits(const uint8_t* data, std::size_t size, uint64_t maxPixels) {
    if (size < kHeaderAndScreen) return true;
    std::size_t at = kHeaderAndScreen + colorTableBytes(data[10]);
    while (at < size) {
        const uint8_t introducer = data[at];
        if (introducer == kImageDescriptor) {
            if (size - at < 9) return true;
            const uint64_t left = le16(data + at + 1), top = le16(data + at + 3);
            const uint64_t width = le16(data + at + 5), height = le16(data + at + 7);
            return (left + width) * (top + height) <= maxPixels;
        }
        if (introducer != kExtension || size - at < 2) return true;
        // Label, then sub-blocks of a length byte and that many bytes, up to a zero length.
        at += 2;
        while (at < size && data[at] != 0)
            at += std::size_t(data[at]) + 1;
        ++at;
    }
    return true;
}

} // namespace vistrel
