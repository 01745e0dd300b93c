#include "BmpFile.h"

#include "Files.h"
#include "Picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vistrel {

namespace {

constexpr uint32_t kFileHeaderSize = 14;

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}

// The 2-bit depth is not one that BMP readers accept; each index is written as a 4-bit one.
void widen2To4(const uint8_t* from, uint8_t* to, int width) {
    for (int x = 0; x < width; x += 2) {
        const int first = (from[x / 4] >> (6 - 2 * (x % 4))) & 3;
        const int second = x + 1 < width ? (from[(x + 1) / 4] >> (6 - 2 * ((x + 1) % 4))) & 3 : 0;
        to[x / 2] = uint8_t(first << 4 | second);
    }
}

} // namespace

bool SaveAsBmp(Picture& picture, const char* path) {
    if (!path || !*path || picture.empty() || !picture.info()) return false;
    BitmapInfoHeader header = *picture.info();
    // Only uncompressed rows can be written as they are held; anything else is not a plain BMP.
    if (header.compression != 0 || header.width <= 0 || header.height <= 0) return false;
    const int depth = header.bitCount;
    const int fileDepth = depth == 2 ? 4 : depth;
    const uint32_t colors = depth <= 8 ? (picture.headerSize() - 40) / 4 : 0;

    const uint32_t heldRow = picture.rowSize();
    const uint64_t fileRow = paddedRowSize(uint64_t(header.width), uint32_t(fileDepth));
    const uint64_t imageBytes = fileRow * uint64_t(header.height);
    if (uint64_t(heldRow) * uint64_t(header.height) > picture.capacity()) return false;
    const uint64_t offset = kFileHeaderSize + 40 + 4 * uint64_t(colors);
    if (offset + imageBytes > UINT32_MAX) return false;

    // The header written describes exactly the file: a decoded file's own colour count or image
    // size may not (a colour count larger than the table, a size shorter than the rows).
    header.size = 40;
    header.bitCount = uint16_t(fileDepth);
    header.sizeImage = uint32_t(imageBytes);
    header.clrUsed = depth <= 8 && colors < (1u << fileDepth) ? colors : 0;
    if (header.clrImportant > colors) header.clrImportant = 0;

    std::vector<uint8_t> head(static_cast<std::size_t>(offset));
    put16(head.data(), 0x4D42); // "BM"
    put32(head.data() + 2, uint32_t(offset + imageBytes));
    put32(head.data() + 10, uint32_t(offset));
    std::memcpy(head.data() + kFileHeaderSize, &header, sizeof header);
    if (colors) std::memcpy(head.data() + kFileHeaderSize + 40, picture.colorTable(), 4 * colors);

    OutputFile file;
    if (!file.create(path)) return false;
    bool ok = file.write(head.data(), head.size());
    // The file stores the bottom row first; rows go out in writes of about a megabyte.
    const std::size_t rowBytes = std::size_t(fileRow);
    const std::size_t rowsPerWrite = std::max<std::size_t>(1, (std::size_t(1) << 20) / rowBytes);
    std::vector<uint8_t> chunk(std::min(rowsPerWrite, std::size_t(header.height)) * rowBytes);
    std::size_t filled = 0;
    for (int y = header.height - 1; ok && y >= 0; --y) {
        const uint8_t* row = picture.pixels() + std::size_t(y) * heldRow;
        if (depth == 2)
            widen2To4(row, chunk.data() + filled, header.width); // the padding stays zero
        else
            std::memcpy(chunk.data() + filled, row, rowBytes);
        filled += rowBytes;
        if (filled == chunk.size() || y == 0) {
            ok = file.write(chunk.data(), filled);
            filled = 0;
        }
    }
    if (!file.close()) ok = false;
    // Only a file of our own making is removed on failure, never a device or a pipe.
    if (!ok && file.regular()) removeFile(path);
    return ok;
}

} // namespace vistrel
