#include "IconDirectory.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"

#include <cstdlib>

namespace vistrel {

namespace {

constexpr std::size_t kDirectoryHeader = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kImageHead = 26; // a PNG's signature and IHDR up to its colour type

// How many images the directory lists; 0 when the bytes are no icon directory.
std::size_t imageCount(ByteSource& source) {
    uint8_t head[kDirectoryHeader];
    if (source.readAt(0, head, sizeof head) != sizeof head ||
        iconKindOf(head, sizeof head) == IconKind::None)
        return 0;
    return littleEndian16(head + 4);
}

// Bits per pixel of the image an entry points at: a PNG (IHDR bit depth times channels) or a
// bitmap info header. A cursor's entry holds its hot spot where an icon's holds planes and depth,
// so the image itself is the only reliable source.
int imageDepth(ByteSource& source, const uint8_t* entry) {
    uint8_t image[kImageHead];
    const std::size_t got = source.readAt(littleEndian32(entry + 12), image, sizeof image);
    if (got == kImageHead && image[0] == 0x89 && image[1] == 'P') {
        const uint8_t* ihdr = image + 16; // signature 8, chunk length 4, type 4
        static const int channels[] = {1, 0, 3, 1, 2, 0, 4};
        const int colorType = ihdr[9];
        const int perChannel = ihdr[8];
        return colorType < 7 ? channels[colorType] * perChannel : 0;
    }
    if (got >= 16) return littleEndian16(image + 14);
    return littleEndian16(entry + 6);
}

// What the image an entry points at says of itself.
struct IconImage {
    bool png = false;
    uint64_t width = 0, height = 0; // a bitmap's height counts both masks
    uint32_t bits = 0;              // a bitmap's bit count; a PNG's bit depth times channels
    uint64_t offset = 0;            // where the image starts
    uint64_t present = 0;           // bytes from the image's start to the end of the file
};

bool readIconImage(ByteSource& source, int index, IconImage& image) {
    if (index < 0 || std::size_t(index) >= imageCount(source)) return false;
    const uint64_t size = source.size();
    const std::size_t entryAt = kDirectoryHeader + std::size_t(index) * kEntrySize;
    uint8_t entry[kEntrySize];
    if (source.readAt(entryAt, entry, sizeof entry) != sizeof entry) return false;
    const uint32_t offset = littleEndian32(entry + 12);
    uint8_t p[kImageHead];
    if (offset >= size || source.readAt(offset, p, sizeof p) != sizeof p) return false;
    image.offset = offset;
    image.present = size - offset;
    if (p[0] == 0x89 && p[1] == 'P') {
        // PNG: IHDR width and height (big-endian), bit depth, colour type.
        static const uint32_t channels[] = {1, 0, 3, 1, 2, 0, 4};
        image.png = true;
        image.width = bigEndian32(p + 16);
        image.height = bigEndian32(p + 20);
        image.bits = p[25] < 7 ? channels[p[25]] * p[24] : 0;
        return true;
    }
    const auto width = int32_t(littleEndian32(p + 4)), height = int32_t(littleEndian32(p + 8));
    image.width = width < 0 ? 0 - uint64_t(int64_t(width)) : uint64_t(width);
    image.height = height < 0 ? 0 - uint64_t(int64_t(height)) : uint64_t(height);
    image.bits = littleEndian16(p + 14);
    return true;
}

bool readIconImage(const uint8_t* data, std::size_t size, int index, IconImage& image) {
    MemorySource source(data, size);
    return readIconImage(source, index, image);
}

int chooseImage(ByteSource& source) {
    const std::size_t count = imageCount(source);
    if (count == 0) return -1;
    if ((source.size() - kDirectoryHeader) / kEntrySize < count) return -1;
    std::vector<uint8_t> directory(count * kEntrySize);
    if (source.readAt(kDirectoryHeader, directory.data(), directory.size()) != directory.size())
        return -1;

    int best = -1, bestDistance = 0, bestSide = 0, bestDepth = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* entry = directory.data() + i * kEntrySize;
        const int w = entry[0] ? entry[0] : 256; // 0 stands for 256
        const int h = entry[1] ? entry[1] : 256;
        const int distance = std::abs(w - 32) + std::abs(h - 32);
        const int depth = imageDepth(source, entry);
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

// Bytes of a bitmap row, padded to 4 bytes.
uint64_t bitmapRow(uint64_t width, uint64_t bits) {
    const uint64_t rowBits = cappedProduct(width, bits);
    return rowBits / 32 * 4 + (rowBits % 32 ? 4 : 0);
}

} // namespace

IconKind iconKindOf(const uint8_t* data, std::size_t size) {
    if (size < kDirectoryHeader || littleEndian16(data) != 0 || littleEndian16(data + 4) == 0)
        return IconKind::None;
    switch (littleEndian16(data + 2)) {
    case 1:
        return IconKind::Icon;
    case 2:
        return IconKind::Cursor;
    default:
        return IconKind::None;
    }
}

int chooseIconImage(const uint8_t* data, std::size_t size) {
    MemorySource source(data, size);
    return chooseImage(source);
}

DecodeResult readIconHeader(ByteSource& source, PictureHeader& header) {
    if (imageCount(source) == 0)
        return source.size() < kDirectoryHeader ? Refusal::Truncated : Refusal::Malformed;
    // The directory, or the image chosen from it, reaches past the end of the file.
    IconImage image;
    if (!readIconImage(source, chooseImage(source), image)) return Refusal::Truncated;
    if (!header.setSize(image.width, image.png ? image.height : image.height / 2))
        return Refusal::Malformed;
    header.bitsPerPixel = 24;
    header.frames = 1;
    return kOk;
}

uint64_t iconImagePixels(const uint8_t* data, std::size_t size, int index) {
    IconImage image;
    return readIconImage(data, size, index, image) ? image.width * image.height : 0;
}

bool readIconBitmap32(const uint8_t* data, std::size_t size, int index, int& width, int& height,
                      std::vector<uint32_t>& pixels) {
    IconImage image;
    if (!readIconImage(data, size, index, image) || image.png || image.bits != 32) return false;
    const uint8_t* header = data + image.offset; // readIconImage checked 26 bytes there
    const uint32_t headerSize = littleEndian32(header);
    // Bottom-up rows of plain blue, green, red, alpha; the height counts the mask's rows too.
    if (headerSize < 40 || littleEndian32(header + 16) != 0 ||
        int32_t(littleEndian32(header + 8)) <= 0 || image.width == 0 || image.height < 2 ||
        image.width > 0x7FFFFFFF)
        return false;
    const uint64_t w = image.width, h = image.height / 2;
    const uint64_t present = image.present;
    const uint64_t colors =
        uint64_t(littleEndian32(header + 32)) * 4; // a table a 32-bit bitmap may carry
    const uint64_t colorRow = w * 4, maskRow = bitmapRow(w, 1);
    const uint64_t rowsAt = headerSize + colors;
    if (rowsAt > present || (present - rowsAt) / colorRow < h) return false;
    const uint8_t* rows = header + rowsAt;
    // The mask follows the colour rows; a file cut inside it leaves those pixels opaque.
    const uint64_t maskAt = rowsAt + colorRow * h;
    const uint8_t* mask = header + maskAt;
    const uint64_t maskBytes = present - maskAt;

    pixels.assign(std::size_t(w * h), 0);
    bool anyAlpha = false;
    for (uint64_t y = 0; y < h; ++y) {
        const uint8_t* s = rows + (h - 1 - y) * colorRow;
        uint32_t* d = pixels.data() + y * w;
        for (uint64_t x = 0; x < w; ++x, s += 4) {
            d[x] = uint32_t(s[3]) << 24 | uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0];
            anyAlpha = anyAlpha || s[3] != 0;
        }
    }
    if (!anyAlpha) {
        for (uint64_t y = 0; y < h; ++y) {
            const uint64_t rowAt = (h - 1 - y) * maskRow;
            uint32_t* d = pixels.data() + y * w;
            for (uint64_t x = 0; x < w; ++x) {
                const uint64_t at = rowAt + x / 8;
                const bool transparent = at < maskBytes && (mask[at] >> (7 - x % 8)) & 1;
                d[x] = transparent ? d[x] & 0x00FFFFFF : d[x] | 0xFF000000;
            }
        }
    }
    width = int(w);
    height = int(h);
    return true;
}

bool iconImageFitsItsData(const uint8_t* data, std::size_t size, int index) {
    IconImage image;
    if (!readIconImage(data, size, index, image)) return false;
    if (image.png) {
        // Deflated rows of a filter byte and the packed samples.
        const uint64_t rowBits = cappedProduct(image.width, image.bits);
        const uint64_t row = 1 + rowBits / 8 + (rowBits % 8 ? 1 : 0);
        const uint64_t rows = cappedProduct(row, image.height);
        return fitsItsData(image.width * image.height, rows, deflateProducible(image.present));
    }
    // The colour rows, then the 1-bit mask rows, each padded to 4 bytes, stored as they are.
    const uint64_t half = image.height / 2;
    const uint64_t rows =
        cappedProduct(bitmapRow(image.width, image.bits) + bitmapRow(image.width, 1), half);
    return fitsItsData(image.width * half, rows, rawProducible(image.present));
}

bool iconDataCanFill(const uint8_t* data, std::size_t size) {
    return iconImageFitsItsData(data, size, chooseIconImage(data, size));
}

} // namespace vistrel
