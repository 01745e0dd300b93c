#include "TgaDecoder.h"

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

// Sequential reads through a buffer, for the run-length packets.
class StreamReader {
public:
    StreamReader(ByteSource& source, uint64_t offset) : source_(source), offset_(offset) {}

    // Copies up to `count` bytes; returns how many there were.
    std::size_t read(uint8_t* out, std::size_t count) {
        std::size_t done = 0;
        while (done < count) {
            if (pos_ == end_ && !refill()) break;
            const std::size_t n = std::min(count - done, end_ - pos_);
            std::memcpy(out + done, buffer_ + pos_, n);
            pos_ += n;
            done += n;
        }
        return done;
    }

private:
    bool refill() {
        end_ = source_.readAt(offset_, buffer_, sizeof buffer_);
        offset_ += end_;
        pos_ = 0;
        return end_ > 0;
    }

    ByteSource& source_;
    uint64_t offset_;
    uint8_t buffer_[65536];
    std::size_t pos_ = 0, end_ = 0;
};

} // namespace

bool decodeTga(ByteSource& source, Picture& picture) {
    uint8_t raw[kHeaderSize];
    if (source.readAt(0, raw, sizeof raw) != sizeof raw) return false;
    const TgaHeader header{
        raw[0],  raw[1], raw[2], uint16_t(raw[12] | raw[13] << 8), uint16_t(raw[14] | raw[15] << 8),
        raw[16], raw[17]};
    if (header.colorMapType != 0) return false;
    if (header.imageType != 2 && header.imageType != 10) return false;
    // Depths that are not whole bytes of 16, 24 or 32 bits have no picture layout.
    if (header.pixelDepth != 16 && header.pixelDepth != 24 && header.pixelDepth != 32) return false;

    const std::size_t bytesPerPixel = header.pixelDepth / 8;
    const std::size_t fileRow = std::size_t(header.width) * bytesPerPixel;
    const uint64_t dataOffset = kHeaderSize + header.idLength;
    const uint64_t present = source.size() > dataOffset ? source.size() - dataOffset : 0;
    const uint64_t producible = header.imageType == 2
                                    ? rawProducible(present)
                                    : tgaRunLengthProducible(present, bytesPerPixel);
    const uint64_t pixels = uint64_t(header.width) * header.height;
    if (!fitsItsData(pixels, uint64_t(fileRow) * header.height, producible)) return false;
    if (!picture.create(header.width, header.height, header.pixelDepth, false)) return false;

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
        StreamReader in(source, dataOffset);
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
    return true;
}

bool decodeTga(const char* path, Picture& picture) {
    FileSource file;
    return file.open(path) && decodeTga(file, picture);
}

} // namespace vistrel
