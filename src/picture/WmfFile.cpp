#include "WmfFile.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"

namespace vistrel {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kMetaHeaderSize = 18;
constexpr std::size_t kRecordHeaderSize = 6; // size in words (4 bytes), function (2 bytes)
constexpr uint16_t kEndOfFile = 0x0000;

// Rounded a * b / c, as the platform's MulDiv: halves away from zero.
int64_t mulDiv(int64_t a, int64_t b, int64_t c) {
    const int64_t product = a * b;
    return (product >= 0 ? product + c / 2 : product - c / 2) / c;
}

// Pixels at 96 dots per inch for `units` of the frame. The picture decoder this stands for goes
// through hundredths of a millimetre and rounds at both steps; so do we, so that sizes agree.
int pixelsOf(int units, uint16_t unitsPerInch) {
    const int64_t himetric = mulDiv(units, 2540, unitsPerInch);
    return int(mulDiv(himetric, 96, 2540));
}

} // namespace

bool isPlaceableWmf(const uint8_t* data, std::size_t size) {
    return size >= 4 && littleEndian32(data) == kPlaceableKey;
}

bool readWmfHeader(const uint8_t* data, std::size_t size, WmfHeader& header) {
    if (!isPlaceableWmf(data, size) || size < kPlaceableSize + kMetaHeaderSize) return false;
    // Placeable header: key, handle (0), frame left, top, right, bottom, units per inch,
    // reserved, checksum. The checksum is not enforced: writers that get it wrong are common and
    // the frame is checked for sense instead.
    header.left = int16_t(littleEndian16(data + 6));
    header.top = int16_t(littleEndian16(data + 8));
    header.right = int16_t(littleEndian16(data + 10));
    header.bottom = int16_t(littleEndian16(data + 12));
    header.unitsPerInch = littleEndian16(data + 14);
    if (header.unitsPerInch == 0 || header.right <= header.left || header.bottom <= header.top)
        return false;
    header.width = pixelsOf(header.right - header.left, header.unitsPerInch);
    header.height = pixelsOf(header.bottom - header.top, header.unitsPerInch);
    if (header.width <= 0 || header.height <= 0) return false;

    // Metafile header: type (1 memory, 2 disk), header size in words (9), version, file size in
    // words, number of objects, largest record, unused.
    const uint8_t* meta = data + kPlaceableSize;
    const uint16_t type = littleEndian16(meta);
    if ((type != 1 && type != 2) || littleEndian16(meta + 2) != 9) return false;
    header.objectCount = littleEndian16(meta + 10);
    header.recordsAt = kPlaceableSize + kMetaHeaderSize;
    return true;
}

DecodeResult readWmfPictureHeader(ByteSource& source, PictureHeader& header) {
    uint8_t head[kPlaceableSize + kMetaHeaderSize];
    const std::size_t got = source.readAt(0, head, sizeof head);
    if (got >= 4 && !isPlaceableWmf(head, got)) return Refusal::Malformed;
    if (got < sizeof head) return Refusal::Truncated;
    WmfHeader wmf;
    if (!readWmfHeader(head, sizeof head, wmf)) return Refusal::Malformed;
    header.width = wmf.width;
    header.height = wmf.height;
    header.bitsPerPixel = 24;
    header.frames = 1;
    return kOk;
}

bool wmfDataCanFill(const uint8_t* data, std::size_t size) {
    // A header that cannot be read is left to the player, which refuses it.
    WmfHeader header;
    return !readWmfHeader(data, size, header) ||
           metafileFits(uint64_t(header.width) * uint64_t(header.height));
}

bool WmfRecords::next(WmfRecord& record) {
    if (at_ > size_ || size_ - at_ < kRecordHeaderSize) return false;
    const uint64_t bytes = uint64_t(littleEndian32(data_ + at_)) * 2;
    if (bytes < kRecordHeaderSize || bytes > size_ - at_) return false;
    record.function = littleEndian16(data_ + at_ + 4);
    if (record.function == kEndOfFile) return false;
    record.params = data_ + at_ + kRecordHeaderSize;
    record.words = std::size_t(bytes - kRecordHeaderSize) / 2;
    at_ += std::size_t(bytes);
    return true;
}

bool readWmfBitmap(const uint8_t* data, std::size_t size, bool paletteIndices, uint64_t maxPixels,
                   WmfBitmap& bitmap) {
    if (size < 12) return false;
    const uint32_t headerSize = littleEndian32(data);
    int64_t width = 0, height = 0;
    uint32_t compression = 0, colorsUsed = 0;
    bool core = false;
    if (headerSize == 12) { // BITMAPCOREHEADER: 16-bit sizes, 3-byte colour entries
        core = true;
        width = littleEndian16(data + 4);
        height = littleEndian16(data + 6);
        bitmap.bitCount = littleEndian16(data + 10);
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
               headerSize == 124) {
        if (size < headerSize) return false;
        width = int32_t(littleEndian32(data + 4));
        height = int32_t(littleEndian32(data + 8));
        bitmap.bitCount = littleEndian16(data + 14);
        compression = littleEndian32(data + 16);
        colorsUsed = littleEndian32(data + 32);
    } else {
        return false;
    }
    const int bpp = bitmap.bitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    // Compression 0 is plain rows; 3 (bit fields) only for 16 and 32 bits. Run-length rows (1, 2)
    // and embedded JPEG or PNG (4, 5), meant for printers, are not read.
    if (compression != 0 && !(compression == 3 && (bpp == 16 || bpp == 32))) return false;
    bitmap.topDown = height < 0;
    if (height < 0) height = -height;
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > maxPixels) return false;
    bitmap.width = int(width);
    bitmap.height = int(height);

    std::size_t at = headerSize;
    if (bpp == 16) {
        bitmap.masks[0] = 0x7C00, bitmap.masks[1] = 0x03E0, bitmap.masks[2] = 0x001F;
    } else if (bpp == 32) {
        bitmap.masks[0] = 0xFF0000, bitmap.masks[1] = 0xFF00, bitmap.masks[2] = 0xFF;
    }
    if (compression == 3) {
        // The masks follow a 40-byte header; the larger headers hold them in place.
        if (headerSize == 40) {
            if (size - at < 12) return false;
            at += 12;
        }
        for (int i = 0; i < 3; ++i)
            bitmap.masks[i] = littleEndian32(data + 40 + 4 * i);
    }

    // Colour table: every entry of a depth up to 8 unless the header names fewer; deeper
    // pictures may carry an optional table, which is passed over.
    uint64_t count = colorsUsed;
    if (bpp <= 8 && (count == 0 || count > (1u << bpp))) count = 1u << bpp;
    bitmap.colorEntrySize = paletteIndices ? 2 : core ? 3 : 4;
    const uint64_t tableBytes = count * uint64_t(bitmap.colorEntrySize);
    if (tableBytes > size - at) return false;
    bitmap.colors = data + at;
    bitmap.colorCount = bpp <= 8 ? int(count) : 0;
    at += std::size_t(tableBytes);

    const uint64_t stride = (uint64_t(width) * uint64_t(bpp) + 31) / 32 * 4;
    if (stride * uint64_t(height) > size - at) return false;
    bitmap.stride = std::size_t(stride);
    bitmap.bits = data + at;
    return true;
}

} // namespace vistrel
