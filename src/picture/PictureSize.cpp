#include "PictureSize.h"

#include "ByteSource.h"
#include "CachedPicture.h"
#include "JpegDecoder.h"

#include <strings.h>

#include <algorithm>

namespace vistrel {

namespace {

uint32_t bigEndian16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}
uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint32_t littleEndian16(const uint8_t* p) {
    return uint32_t(p[1]) << 8 | p[0];
}
uint32_t littleEndian32(const uint8_t* p) {
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

bool fits(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= 0x7FFFFFFF && height <= 0x7FFFFFFF;
}

// Walks the marker segments to the first start-of-frame marker (SOF0 to SOF15 but DHT, JPG and
// DAC), which holds the height and the width. Segments before it (EXIF, ICC profiles) are
// skipped by their lengths.
bool jpegSize(ByteSource& file, HeaderSize& size) {
    uint8_t head[2];
    if (file.readAt(0, head, 2) != 2 || head[0] != 0xFF || head[1] != 0xD8) return false;
    uint64_t at = 2;
    for (int segments = 0; segments < 4096; ++segments) {
        uint8_t marker[9];
        if (file.readAt(at, marker, 4) != 4 || marker[0] != 0xFF) return false;
        const uint8_t code = marker[1];
        if (code == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const bool frame =
            code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (frame) {
            if (file.readAt(at, marker, 9) != 9) return false;
            size.height = int(bigEndian16(marker + 5));
            size.width = int(bigEndian16(marker + 7));
            size.bitsPerPixel = 24; // grey, colour and CMYK files all become 24-bit pictures
            return size.width > 0 && size.height > 0;
        }
        if (code == 0xD9 || code == 0xDA) return false; // end of image, or scan data first
        at += 2 + bigEndian16(marker + 2);
    }
    return false;
}

bool pngSize(ByteSource& file, HeaderSize& size) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t head[26];
    if (file.readAt(0, head, sizeof head) != sizeof head) return false;
    if (!std::equal(kSignature, kSignature + 8, head) || bigEndian32(head + 12) != 0x49484452)
        return false; // no IHDR first
    const uint64_t width = bigEndian32(head + 16), height = bigEndian32(head + 20);
    const int depth = std::min<int>(head[24], 8); // 16-bit samples are held at 8 bits
    switch (head[25]) {
    case 0: // grey
    case 3: // palette
        size.bitsPerPixel = depth;
        break;
    case 2: // colour
        size.bitsPerPixel = 24;
        break;
    default: // grey with alpha is held as colour with alpha, like colour with alpha
        size.bitsPerPixel = 32;
    }
    size.width = int(width);
    size.height = int(height);
    return fits(width, height);
}

bool bmpSize(ByteSource& file, HeaderSize& size) {
    uint8_t head[30];
    if (file.readAt(0, head, sizeof head) != sizeof head || head[0] != 'B' || head[1] != 'M')
        return false;
    const auto width = int32_t(littleEndian32(head + 18));
    const auto height = int32_t(littleEndian32(head + 22));
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    size.width = width;
    size.height = height < 0 ? -height : height; // top-down files hold a negative height
    size.bitsPerPixel = std::max<int>(int(littleEndian16(head + 28)), 1);
    return true;
}

bool tgaSize(ByteSource& file, HeaderSize& size) {
    uint8_t head[18];
    if (file.readAt(0, head, sizeof head) != sizeof head) return false;
    size.width = int(littleEndian16(head + 12));
    size.height = int(littleEndian16(head + 14));
    size.bitsPerPixel = head[16];
    return size.width > 0 && size.height > 0;
}

bool psdSize(ByteSource& file, HeaderSize& size) {
    uint8_t head[26];
    if (file.readAt(0, head, sizeof head) != sizeof head || bigEndian32(head) != 0x38425053)
        return false; // "8BPS"
    const uint64_t height = bigEndian32(head + 14), width = bigEndian32(head + 18);
    size.width = int(std::min<uint64_t>(width, 0x7FFFFFFF));
    size.height = int(std::min<uint64_t>(height, 0x7FFFFFFF));
    size.bitsPerPixel = 32;
    return fits(width, height);
}

bool gifSize(ByteSource& file, HeaderSize& size) {
    uint8_t head[10];
    if (file.readAt(0, head, sizeof head) != sizeof head || head[0] != 'G' || head[1] != 'I' ||
        head[2] != 'F')
        return false;
    size.width = int(littleEndian16(head + 6));
    size.height = int(littleEndian16(head + 8));
    size.bitsPerPixel = 32;
    return size.width > 0 && size.height > 0;
}

} // namespace

bool readHeaderSize(const char* path, HeaderSize& size) {
    const char* extension = extensionOf(path);
    if (!extension) return false;
    FileSource file;
    if (!file.open(path)) return false;
    struct Reader {
        const char* extension;
        bool (*read)(ByteSource&, HeaderSize&);
    };
    static const Reader kReaders[] = {
        {"jpg", jpegSize}, {"jpe", jpegSize}, {"jpeg", jpegSize}, {"png", pngSize},
        {"bmp", bmpSize},  {"tga", tgaSize},  {"psd", psdSize},   {"gif", gifSize},
    };
    for (const Reader& reader : kReaders)
        if (strcasecmp(extension, reader.extension) == 0) return reader.read(file, size);
    return false;
}

uint64_t estimateHeldBytes(const char* path, const ScreenCopyPolicy& policy) {
    HeaderSize header;
    if (!readHeaderSize(path, header)) return 0;
    const Size size{header.width, header.height};
    // The screen copy, 32 bits (a 32-bit picture counted as transparent: the larger case).
    const Size copy = screenCopySize(size, std::max(header.bitsPerPixel, 24), policy);
    const uint64_t copyBytes = uint64_t(copy.width) * uint64_t(copy.height) * 4;
    const char* extension = extensionOf(path);
    const bool jpeg = strcasecmp(extension, "jpg") == 0 || strcasecmp(extension, "jpe") == 0 ||
                      strcasecmp(extension, "jpeg") == 0;
    if (jpeg && policy.reduceLargeJpeg && copy.width > 0 &&
        jpegReduction(size.width, size.height, copy) > 1)
        return copyBytes; // only the copy is held
    const uint64_t picture =
        paddedRowSize(uint64_t(size.width), uint32_t(std::max(header.bitsPerPixel, 1))) *
        uint64_t(size.height);
    return picture + copyBytes;
}

} // namespace vistrel
