#include "TgaDecoder.h"

#include "ByteOrder.h"
#include "DecodeLimits.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

// The 18-byte header, read field by field.
struct TgaHeader {
    uint8_t idLength;     // bytes of image ID that follow the header
    uint8_t colorMapType; // 0: no colour map
    uint8_t imageType;    // 2: uncompressed true-colour, 10: run-length true-colour
    uint16_t width;
    uint16_t height;
    uint8_t pixelDepth;
    uint8_t descriptor; // bit 5: rows stored top row first
};
constexpr std::size_t kHeaderSize = 18;

DecodeResult readHeader(ByteSource& source, TgaHeader& header) {
    uint8_t raw[kHeaderSize];
    if (source.readAt(0, raw, sizeof raw) != sizeof raw) return Refusal::Truncated;
    header = {raw[0],  raw[1], raw[2], littleEndian16(raw + 12), littleEndian16(raw + 14),
              raw[16], raw[17]};
    return kOk;
}

} // namespace

DecodeResult readTgaHeader(ByteSource& source, PictureHeader& header) {
    TgaHeader tga{};
    if (const DecodeResult read = readHeader(source, tga); !read) return read;
    if (!header.setSize(tga.width, tga.height)) return Refusal::Malformed;
    header.bitsPerPixel = tga.pixelDepth;
    header.frames = 1;
    return kOk;
}

DecodeResult decodeTga(ByteSource& source, Picture& picture) {
    TgaHeader header{};
    if (const DecodeResult read = readHeader(source, header); !read) return read;
    // Colour-mapped, grey and the other types are not read.
    if (header.colorMapType != 0) return Refusal::Unsupported;
    if (header.imageType != 2 && header.imageType != 10) return Refusal::Unsupported;
    // Depths that are not whole bytes of 16, 24 or 32 bits have no picture layout.
    if (header.pixelDepth != 16 && header.pixelDepth != 24 && header.pixelDepth != 32)
        return Refusal::Unsupported;
    if (header.width == 0 || header.height == 0) return Refusal::Malformed;

    const std::size_t bytesPerPixel = header.pixelDepth / 8;
    const std::size_t fileRow = std::size_t(header.width) * bytesPerPixel;
    const uint64_t dataOffset = kHeaderSize + header.idLength;
    const uint64_t present = source.size() > dataOffset ? source.size() - dataOffset : 0;
    const uint64_t producible = header.imageType == 2
                                    ? rawProducible(present)
                                    : tgaRunLengthProducible(present, bytesPerPixel);
    const uint64_t pixels = uint64_t(header.width) * header.height;
    if (pixels > kMaxPicturePixels) return Refusal::TooLarge;
    if (!fitsItsData(pixels, uint64_t(fileRow) * header.height, producible))
        return Refusal::SizeRule;
    if (const DecodeResult made =
            createPicture(picture, header.width, header.height, header.pixelDepth);
        !made)
        return made;

    const int h = header.height;
    const uint32_t memoryRow = picture.rowSize();
    const bool topFirst = header.descriptor & 0x20;
    uint8_t* bits = picture.pixels();
    auto rowAt = [&](int fileRowIndex) {
        const int row = topFirst ? fileRowIndex : h - 1 - fileRowIndex;
        return bits + std::size_t(row) * memoryRow;
    };

    if (header.imageType == 2) {
        // Short reads are not errors: rows the file does not reach keep what the block held.
        for (int y = 0; y < h; ++y)
            if (source.readAt(dataOffset + uint64_t(y) * fileRow, rowAt(y), fileRow) < fileRow)
                break;
    } else {
        // Packets: a header byte, count = low 7 bits + 1; bit 7 set: one pixel repeated count
        // times, clear: count literal pixels. Writers differ on whether a packet may run past the
        // end of a row; one that does simply goes on in the next row.
        SourceReader in(source, dataOffset, 65536);
        uint8_t pixel[4];
        int y = 0;
        std::size_t x = 0; // byte position in the current row
        uint8_t* row = rowAt(0);
        auto advance = [&]() {
            x += bytesPerPixel;
            if (x == fileRow) {
                x = 0;
                if (++y < h) row = rowAt(y);
            }
        };
        while (y < h) {
            uint8_t packet;
            if (in.read(&packet, 1) != 1) break;
            const int count = (packet & 0x7F) + 1;
            if (packet & 0x80) {
                if (in.read(pixel, bytesPerPixel) != bytesPerPixel) break;
                for (int i = 0; i < count && y < h; ++i) {
                    std::memcpy(row + x, pixel, bytesPerPixel);
                    advance();
                }
            } else {
                bool complete = true;
                for (int i = 0; i < count && y < h && complete; ++i) {
                    complete = in.read(row + x, bytesPerPixel) == bytesPerPixel;
                    if (complete) advance();
                }
                if (!complete) break;
            }
        }
    }
    return kOk;
}

DecodeResult decodeTga(const char* path, Picture& picture) {
    FileSource file;
    if (const DecodeResult opened = file.open(path); !opened) return opened;
    return decodeTga(file, picture);
}

} // namespace vistrel
