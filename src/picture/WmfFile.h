// Byte-level reading of placeable Windows metafiles: the two headers, the walk over the records,
// and the device-independent bitmaps that records carry. Every size, count and offset is checked
// against the bytes held before anything is read through it; nothing here draws.
#pragma once

#include "ByteOrder.h"
#include "ByteSource.h"
#include "PictureFormat.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// What the placeable header and the metafile header say.
struct WmfHeader {
    // The picture's frame in the metafile's own units, and how many of them make an inch.
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    uint16_t unitsPerInch = 0;
    // Size in pixels at 96 dots per inch.
    int width = 0, height = 0;
    // Slots of the object table every object record fills.
    uint16_t objectCount = 0;
    // Offset of the first record.
    std::size_t recordsAt = 0;
};

// True when the bytes start with the placeable header's key.
bool isPlaceableWmf(const uint8_t* data, std::size_t size);

// Reads both headers. False without the placeable key, with an empty or inverted frame, no units
// per inch, or a metafile header that is not one (type 1 or 2, 9 words long).
bool readWmfHeader(const uint8_t* data, std::size_t size, WmfHeader& header);

// The frame in pixels, as the player draws it (readWmfHeader), held at 24 bits.
DecodeResult readWmfPictureHeader(ByteSource& source, PictureHeader& header);

// The size rule for metafiles (metafileFits in DecodeLimits.h): their frame against the floor.
bool wmfDataCanFill(const uint8_t* data, std::size_t size);

// One record: its function number and its parameter words, as they follow the 6-byte record
// header. The accessors give 0 beyond the parameters, so a short record never reads outside the
// file; a handler checks `has` for the words it needs before it trusts what it reads.
struct WmfRecord {
    uint16_t function = 0;
    const uint8_t* params = nullptr;
    std::size_t words = 0;

    bool has(std::size_t count) const { return count <= words; }
    uint16_t u16(std::size_t i) const { return i < words ? littleEndian16(params + 2 * i) : 0; }
    int16_t s16(std::size_t i) const { return int16_t(u16(i)); }
    uint32_t u32(std::size_t i) const { return uint32_t(u16(i)) | uint32_t(u16(i + 1)) << 16; }
    // The parameter bytes from word `i` on, and how many there are.
    const uint8_t* bytesFrom(std::size_t i) const { return i < words ? params + 2 * i : params; }
    std::size_t byteCountFrom(std::size_t i) const { return i < words ? 2 * (words - i) : 0; }
};

// The records one after another.
class WmfRecords {
public:
    WmfRecords(const uint8_t* data, std::size_t size, std::size_t start)
        : data_(data), size_(size), at_(start) {}

    // The next record. False at the end-of-file record, at the end of the bytes, and at a record
    // whose size is smaller than its own header or larger than what the file still holds: such a
    // record ends the picture.
    bool next(WmfRecord& record);

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_;
};

// A device-independent bitmap as a record carries it (info header, colour table, pixel rows).
struct WmfBitmap {
    int width = 0;
    int height = 0; // always positive; `topDown` tells the row order
    bool topDown = false;
    int bitCount = 0;
    // Colour table: `colorCount` entries of `colorEntrySize` bytes: blue, green, red(, unused),
    // or 16-bit indices into the selected palette when the record says so.
    const uint8_t* colors = nullptr;
    int colorCount = 0;
    int colorEntrySize = 4;
    // Bit masks of 16- and 32-bit pixels (red, green, blue); the 5-5-5 and 8-8-8 defaults unless
    // the header gives its own.
    uint32_t masks[3] = {};
    // Rows as stored (bottom row first unless `topDown`), `stride` bytes apart.
    const uint8_t* bits = nullptr;
    std::size_t stride = 0;
};

// Reads a packed bitmap from `size` bytes: a 12-byte core header or a 40-, 52-, 56-, 108- or
// 124-byte info header, the colour table, then the rows, which must all be there. With
// `paletteIndices` the table holds 16-bit palette indices. Uncompressed and bit-field pixels of
// 1, 4, 8, 16, 24 or 32 bits are read; run-length and embedded JPEG or PNG pixels are not. False
// too for empty bitmaps and those of more than `maxPixels` pixels.
bool readWmfBitmap(const uint8_t* data, std::size_t size, bool paletteIndices, uint64_t maxPixels,
                   WmfBitmap& bitmap);

} // namespace vistrel
