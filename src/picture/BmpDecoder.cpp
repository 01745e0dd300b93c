#include "BmpDecoder.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr uint16_t kBitmapType = 0x4D42;             // "BM"
constexpr uint32_t kRunLength8 = 1, kRunLength4 = 2; // compression values

// What the file header and the info header say.
struct BmpHeaders {
    uint32_t pixelOffset = 0;
    uint32_t infoSize = 0;         // 12 for the old core header, 16 and up for the others
    int64_t width = 0, height = 0; // as stored: a negative height stores the rows top-down
    uint32_t bits = 0;
    uint32_t compression = 0;

    uint64_t columns() const { return uint64_t(width < 0 ? -width : width); }
    uint64_t rows() const { return uint64_t(height < 0 ? -height : height); }
    // Uncompressed bottom-up rows under a header of 40 bytes or more (the 108- and 124-byte
    // headers begin with the same 40 bytes): what decodeBmp stores as it is.
    bool ownDecoderReads() const {
        return infoSize >= 40 && compression == 0 && height > 0 && width > 0;
    }
};

DecodeResult readHeaders(ByteSource& source, BmpHeaders& bmp) {
    // The file header, then as much of the info header as holds the fields used (a 1x1 picture
    // with the 12-byte header is a 30-byte file).
    uint8_t head[kFileHeaderSize + 20];
    const std::size_t got = source.readAt(0, head, sizeof head);
    if (got < 2) return Refusal::Truncated;
    if (littleEndian16(head) != kBitmapType) return Refusal::Malformed;
    if (got < kFileHeaderSize + 4) return Refusal::Truncated;
    // File header: type (2), file size (4), two reserved words (4), pixel data offset (4).
    bmp.pixelOffset = littleEndian32(head + 10);
    const uint8_t* info = head + kFileHeaderSize;
    bmp.infoSize = littleEndian32(info);
    if (bmp.infoSize != 12 && bmp.infoSize < 16) return Refusal::Malformed;
    if (got < kFileHeaderSize + std::min<uint32_t>(bmp.infoSize, 20)) return Refusal::Truncated;
    if (bmp.infoSize == 12) {
        // The old core header: 16-bit width and height, planes, bit count; never compressed.
        bmp.width = littleEndian16(info + 4);
        bmp.height = littleEndian16(info + 6);
        bmp.bits = littleEndian16(info + 10);
    } else {
        // Signed 32-bit width and height, planes, bit count, then the compression when the
        // header is long enough to hold it.
        bmp.width = int32_t(littleEndian32(info + 4));
        bmp.height = int32_t(littleEndian32(info + 8));
        bmp.bits = littleEndian16(info + 14);
        if (bmp.infoSize >= 20) bmp.compression = littleEndian32(info + 16);
    }
    return kOk;
}

bool dataCanFill(const BmpHeaders& bmp, uint64_t fileSize) {
    const uint64_t width = bmp.columns(), height = bmp.rows();
    const uint64_t present = fileSize > bmp.pixelOffset ? fileSize - bmp.pixelOffset : 0;
    const bool runLength = bmp.compression == kRunLength8 || bmp.compression == kRunLength4;
    return fitsItsData(width * height, cappedProduct(paddedRowSize(width, bmp.bits), height),
                       runLength ? bmpRunLengthProducible(present, bmp.bits)
                                 : rawProducible(present));
}

} // namespace

DecodeResult readBmpHeader(ByteSource& source, PictureHeader& header) {
    BmpHeaders bmp;
    if (const DecodeResult read = readHeaders(source, bmp); !read) return read;
    if (!header.setSize(bmp.columns(), bmp.rows())) return Refusal::Malformed;
    header.bitsPerPixel = bmp.ownDecoderReads() ? int(std::max<uint32_t>(bmp.bits, 1)) : 24;
    header.frames = 1;
    return kOk;
}

bool bmpDataCanFill(ByteSource& source) {
    BmpHeaders bmp;
    return readHeaders(source, bmp) && dataCanFill(bmp, source.size());
}

DecodeResult decodeBmp(ByteSource& source, Picture& picture) {
    BmpHeaders bmp;
    if (const DecodeResult read = readHeaders(source, bmp); !read) return read;
    if (bmp.infoSize < 40 || bmp.compression != 0 || bmp.height < 0) return Refusal::Unsupported;
    if (!bmp.ownDecoderReads()) return Refusal::Malformed; // an empty or negative width
    if (bmp.columns() * bmp.rows() > kMaxPicturePixels) return Refusal::TooLarge;
    if (!dataCanFill(bmp, source.size())) return Refusal::SizeRule;

    BitmapInfoHeader header;
    if (source.readAt(kFileHeaderSize, &header, sizeof header) != sizeof header)
        return Refusal::Truncated;
    if (const DecodeResult made =
            createPicture(picture, header.width, header.height, header.bitCount);
        !made)
        return made;
    // createPicture accepted the size, so the product fits in 32 bits.
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
        if (source.readAt(bmp.pixelOffset + uint64_t(at), target, want) < want) break;
    }
    return kOk;
}

DecodeResult decodeBmp(const char* path, Picture& picture) {
    FileSource file;
    if (const DecodeResult opened = file.open(path); !opened) return opened;
    return decodeBmp(file, picture);
}

} // namespace vistrel
