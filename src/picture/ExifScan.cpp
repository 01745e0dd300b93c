#include "ExifScan.h"

#include "ByteOrder.h"
#include "ByteSource.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vistrel {

namespace {

// The window is followed by spare zero bytes: a tag's value field (8 to 11 bytes after its
// two-byte pattern) and the byte-order mark may lie just past the data read, and every text ends
// at a zero byte at the latest right after the data.
constexpr std::size_t kSpareBytes = 16 + 1;

// "Exif" and two zero bytes: the APP1 identifier; the TIFF header follows it.
constexpr uint8_t kExifMarker[] = {'E', 'x', 'i', 'f', 0, 0};
// Start of the embedded thumbnail: the tags of the main image lie before it.
constexpr uint8_t kThumbnailStart[] = {0xFF, 0xD8};

// Tag numbers 0x010F (Make), 0x0110 (Model) and 0x0112 (Orientation) as they appear in files of
// either byte order.
struct TagPattern {
    uint8_t littleEndian[2];
    uint8_t bigEndian[2];
};
constexpr TagPattern kMake = {{0x0F, 0x01}, {0x01, 0x0F}};
constexpr TagPattern kModel = {{0x10, 0x01}, {0x01, 0x10}};
constexpr TagPattern kOrientation = {{0x12, 0x01}, {0x01, 0x12}};

// Values outside 1..2047 are taken for a pattern that is no tag.
constexpr uint32_t kLargestValue = 2047;

// The window thread and the prefetch worker scan at the same time: each keeps its own text.
thread_local std::string resultText;

const uint8_t* find(const uint8_t* first, const uint8_t* last, const uint8_t* pattern,
                    std::size_t length) {
    if (first >= last) return nullptr;
    const uint8_t* hit = std::search(first, last, pattern, pattern + length);
    return hit == last ? nullptr : hit;
}

// `data` holds `size` bytes followed by kSpareBytes zero bytes.
const char* scanPadded(const uint8_t* data, std::size_t size, int& angle) {
    resultText.clear();
    angle = 0;
    const uint8_t* end = data + size;
    const uint8_t* marker = find(data, end, kExifMarker, sizeof kExifMarker);
    if (!marker) return nullptr;

    // T: the TIFF header, "II" or "MM", then 42 and the first directory's offset. Tags are
    // searched from T + 4 up to the data's end or the thumbnail, whichever comes first.
    const uint8_t* tiff = marker + sizeof kExifMarker;
    const uint8_t* areaStart = std::min(tiff + 4, end);
    const uint8_t* thumbnail = find(areaStart, end, kThumbnailStart, sizeof kThumbnailStart);
    const uint8_t* areaEnd = thumbnail ? thumbnail : end;

    bool littleEndian;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        littleEndian = true;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        littleEndian = false;
    else
        return nullptr;

    // Each tag is searched from the start of the area; the area's end moves back two bytes for
    // every tag already found. The value field of a directory entry starts 8 bytes after its tag.
    int found = 0;
    auto lookUp = [&](const TagPattern& tag, bool offset, uint32_t& value) {
        const uint8_t* pattern = littleEndian ? tag.littleEndian : tag.bigEndian;
        const std::ptrdiff_t length = (areaEnd - areaStart) - 2 * found;
        const uint8_t* hit =
            length >= 2 ? find(areaStart, areaStart + length, pattern, 2) : nullptr;
        if (!hit) return false;
        ++found;
        value = offset ? read32(hit + 8, littleEndian) : read16(hit + 8, littleEndian);
        return value >= 1 && value <= kLargestValue;
    };
    // Make and Model hold offsets from T to zero-terminated texts; one that points past the data
    // read is no text (the file's text is simply not in the window).
    auto textAt = [&](uint32_t offset) -> const char* {
        const std::size_t start = std::size_t(tiff - data) + offset;
        return start < size ? reinterpret_cast<const char*>(data + start) : nullptr;
    };

    uint32_t value = 0;
    const char* make = lookUp(kMake, true, value) ? textAt(value) : nullptr;
    const char* model = lookUp(kModel, true, value) ? textAt(value) : nullptr;
    if (lookUp(kOrientation, false, value)) {
        if (value == 6) angle = 90;
        if (value == 8) angle = -90;
    }

    if (make && model && std::strstr(model, make)) {
        resultText = model;
    } else {
        if (make && *make) resultText.append(make).append(" ");
        if (model && *model) resultText.append(model);
    }
    return resultText.empty() ? nullptr : resultText.c_str();
}

} // namespace

const char* scanExifWindow(const uint8_t* data, std::size_t size, int& angle) {
    uint8_t window[kExifWindowBytes + kSpareBytes] = {};
    size = std::min(size, kExifWindowBytes);
    if (size) std::memcpy(window, data, size);
    return scanPadded(window, size, angle);
}

const char* scanExif(const char* path, int& angle) {
    resultText.clear();
    FileSource file;
    if (!file.open(path)) return nullptr;
    uint8_t window[kExifWindowBytes + kSpareBytes] = {};
    const std::size_t size = file.readAt(0, window, kExifWindowBytes);
    return scanPadded(window, size, angle);
}

} // namespace vistrel
