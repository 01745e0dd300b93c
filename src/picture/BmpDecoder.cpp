#include "BmpDecoder.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr uint16_t kBitmapType = 0x4D42; // "BM"

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

} // namespace

bool decodeBmp(ByteSource& source, Picture& picture) {
    // File header: type (2), file size (4), two reserved words (4), pixel data offset (4).
    uint8_t fileHeader[kFileHeaderSize];
    if (source.readAt(0, fileHeader, sizeof fileHeader) != sizeof fileHeader) return false;
    if ((fileHeader[0] | fileHeader[1] << 8) != kBitmapType) return false;
    const uint32_t pixelOffset = le32(fileHeader + 10);

    BitmapInfoHeader header;
    if (source.readAt(kFileHeaderSize, &header, sizeof header) != sizeof header) return false;
    // The 108- and 124-byte headers begin with the same 40 bytes; shorter ones are another layout.
    if (header.size < sizeof header) return false;
    // Compressed or masked pixels cannot be stored as they are; a negative height is top-down.
    if (header.compression != 0 || header.height <= 0 || header.width <= 0) return false;

    if (!picture.create(header.width, header.height, header.bitCount, false)) return false;
    // create accepted the size, so the product fits in 32 bits.
    const auto computed =
        uint32_t(paddedRowSize(uint64_t(header.width), header.bitCount) * uint64_t(header.height));
    if (header.sizeImage == 0 || header.sizeImage > computed) header.sizeImage = computed;

    // The colour table follows the file's header, whatever its length.
    const uint64_t colorTableOffset = kFileHeaderSize + uint64_t(header.size);
    // The file's own header replaces the one create wrote, so its resolutions and colour counts
    // stay with the picture; the block holds 40 bytes of header whatever the file's version.
    header.size = sizeof header;
    std::memcpy(picture.info(), &header, sizeof header);
    if (RgbQuad* colors = picture.colorTable()) {
        const uint32_t entries = (picture.headerSize() - sizeof header) / sizeof(RgbQuad);
        source.readAt(colorTableOffset, colors, entries * sizeof(RgbQuad));
    }
    // Short pixel data is not an error: the rest of the block keeps what it held.
    const uint32_t bytes = std::min(picture.imageSize(), picture.capacity());
    source.readAt(pixelOffset, picture.lockBits(), bytes);
    picture.unlockBits();
    return true;
}

bool decodeBmp(const char* path, Picture& picture) {
    FileSource file;
    return file.open(path) && decodeBmp(file, picture);
}

} // namespace vistrel
