#include "BmpDecoder.h"

#include "DecodeLimits.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr uint16_t kBitmapType = 0x4D42; // "BM"

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

constexpr uint32_t kRunLength8 = 1, kRunLength4 = 2; // compression values

} // namespace

bool bmpDataCanFill(ByteSource& source) {
    // The file header, then as much of the info header as holds the fields used (a 1x1 picture
    // with the 12-byte header is a 30-byte file).
    uint8_t head[kFileHeaderSize + 20];
    const std::size_t got = source.readAt(0, head, sizeof head);
    if (got < kFileHeaderSize + 4) return false;
    const uint32_t pixelOffset = le32(head + 10);
    const uint8_t* info = head + kFileHeaderSize;
    const uint32_t headerSize = le32(info);
    if (got < kFileHeaderSize + std::min<uint32_t>(headerSize, 20)) return false;
    uint64_t width = 0, height = 0;
    uint32_t bits = 0, compression = 0;
    if (headerSize == 12) {
        // The old core header: 16-bit width and height, planes, bit count; never compressed.
        width = le16(info + 4);
        height = le16(info + 6);
        bits = le16(info + 10);
    } else if (headerSize >= 16) {
        // Signed 32-bit width and height (a negative height stores the rows top-down), planes,
        // bit count, then the compression when the header is long enough to hold it.
        const auto w = int32_t(le32(info + 4)), h = int32_t(le32(info + 8));
        width = w < 0 ? 0 - uint64_t(int64_t(w)) : uint64_t(w);
        height = h < 0 ? 0 - uint64_t(int64_t(h)) : uint64_t(h);
        bits = le16(info + 14);
        if (headerSize >= 20) compression = le32(info + 16);
    } else {
        return false;
    }
    const uint64_t present = source.size() > pixelOffset ? source.size() - pixelOffset : 0;
    const bool runLength = compression == kRunLength8 || compression == kRunLength4;
    return fitsItsData(width * height, cappedProduct(paddedRowSize(width, bits), height),
                       runLength ? bmpRunLengthProducible(present, bits) : rawProducible(present));
}

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
    if (!bmpDataCanFill(source)) return false;

    if (!picture.create(header.width, header.height, header.bitCount, false)) return false;
    // create accepted the size, so the product fits in 32 bits.
    const uint32_t row = picture.rowSize();
    const uint32_t computed = row * uint32_t(header.height);
    // Only the file's image size is read when it is shorter; the picture's header always says
    // what its rows hold.
    const uint32_t bytes = header.sizeImage == 0 ? computed : std::min(header.sizeImage, computed);
    header.sizeImage = computed;

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
    // The file stores the bottom row first. Short pixel data is not an error: the rows it does
    // not reach keep what the block held.
    const int height = header.height;
    for (int k = 0; k < height && uint32_t(k) * row < bytes; ++k) {
        const uint32_t at = uint32_t(k) * row, want = std::min(row, bytes - at);
        uint8_t* target = picture.pixels() + std::size_t(height - 1 - k) * row;
        if (source.readAt(pixelOffset + uint64_t(at), target, want) < want) break;
    }
    return true;
}

bool decodeBmp(const char* path, Picture& picture) {
    FileSource file;
    return file.open(path) && decodeBmp(file, picture);
}

} // namespace vistrel
