#include "IconDirectory.h"

#include <cstdlib>

namespace vistrel {

namespace {

constexpr std::size_t kDirectoryHeader = 6;
constexpr std::size_t kEntrySize = 16;

uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(le16(p)) | uint32_t(le16(p + 2)) << 16;
}

// Bits per pixel of the image an entry points at: a PNG (IHDR bit depth times channels) or a
// bitmap info header. A cursor's entry holds its hot spot where an icon's holds planes and depth,
// so the image itself is the only reliable source.
int imageDepth(const uint8_t* data, std::size_t size, const uint8_t* entry) {
    const uint32_t offset = le32(entry + 12);
    if (offset < size && size - offset >= 26 && data[offset] == 0x89 && data[offset + 1] == 'P') {
        const uint8_t* ihdr = data + offset + 16; // signature 8, chunk length 4, type 4
        static const int channels[] = {1, 0, 3, 1, 2, 0, 4};
        const int colorType = ihdr[9];
        const int perChannel = ihdr[8];
        return colorType < 7 ? channels[colorType] * perChannel : 0;
    }
    if (offset < size && size - offset >= 16) return le16(data + offset + 14);
    return le16(entry + 6);
}

} // namespace

IconKind iconKindOf(const uint8_t* data, std::size_t size) {
    if (size < kDirectoryHeader || le16(data) != 0 || le16(data + 4) == 0) return IconKind::None;
    switch (le16(data + 2)) {
    case 1:
        return IconKind::Icon;
    case 2:
        return IconKind::Cursor;
    default:
        return IconKind::None;
    }
}

int chooseIconImage(const uint8_t* data, std::size_t size) {
    if (iconKindOf(data, size) == IconKind::None) return -1;
    const std::size_t count = le16(data + 4);
    if ((size - kDirectoryHeader) / kEntrySize < count) return -1;

    int best = -1, bestDistance = 0, bestSide = 0, bestDepth = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + kDirectoryHeader + i * kEntrySize;
        const int w = entry[0] ? entry[0] : 256; // 0 stands for 256
        const int h = entry[1] ? entry[1] : 256;
        const int distance = std::abs(w - 32) + std::abs(h - 32);
        const int depth = imageDepth(data, size, entry);
        const bool better = best < 0 || distance < bestDistance ||
                            (distance == bestDistance && w + h > bestSide) ||
                            (distance == bestDistance && w + h == bestSide && depth > bestDepth);
        if (better) {
            best = int(i);
            bestDistance = distance;
            bestSide = w + h;
            bestDepth = depth;
        }
    }
    return best;
}

uint64_t iconImagePixels(const uint8_t* data, std::size_t size, int index) {
    if (index < 0 || iconKindOf(data, size) == IconKind::None || index >= le16(data + 4)) return 0;
    const std::size_t entryAt = kDirectoryHeader + std::size_t(index) * kEntrySize;
    if (size < entryAt + kEntrySize) return 0;
    const uint32_t offset = le32(data + entryAt + 12);
    if (offset >= size || size - offset < 24) return 0;
    const uint8_t* image = data + offset;
    if (image[0] == 0x89 && image[1] == 'P') { // PNG: IHDR width and height, big-endian
        auto be32 = [](const uint8_t* p) {
            return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        };
        return uint64_t(be32(image + 16)) * be32(image + 20);
    }
    const auto width = int32_t(le32(image + 4)), height = int32_t(le32(image + 8));
    const uint64_t w = width < 0 ? 0 - uint64_t(int64_t(width)) : uint64_t(width);
    const uint64_t h = height < 0 ? 0 - uint64_t(int64_t(height)) : uint64_t(height);
    return w * h;
}

} // namespace vistrel
