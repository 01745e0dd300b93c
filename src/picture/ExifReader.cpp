#include "ExifReader.h"

#include "ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

constexpr uint16_t kMake = 0x010F;
constexpr uint16_t kModel = 0x0110;
constexpr uint16_t kOrientation = 0x0112;
constexpr uint16_t kTypeAscii = 2;
constexpr uint16_t kTypeShort = 3;

// A directory: a 2-byte entry count, 12-byte entries (tag, type, count, value or offset), and
// the offset of the next directory.
constexpr std::size_t kEntryBytes = 12;

// An ASCII value: `count` bytes, NUL-terminated, in the entry's value field when they fit in its
// four bytes, else at the offset it holds. Empty when the bytes lie outside the block.
std::string asciiValue(const uint8_t* tiff, std::size_t size, const uint8_t* entry,
                       bool littleEndian) {
    const uint64_t count = read32(entry + 4, littleEndian);
    const uint8_t* text = entry + 8;
    if (count > 4) {
        const uint64_t offset = read32(entry + 8, littleEndian);
        if (offset > size || count > size - offset) return {};
        text = tiff + offset;
    }
    const auto* chars = reinterpret_cast<const char*>(text);
    return std::string(chars, strnlen(chars, std::size_t(count)));
}

} // namespace

bool readExif(const uint8_t* block, std::size_t size, ExifFacts& facts) {
    facts = {};
    if (!block) return false;
    static constexpr uint8_t kExifIdentifier[] = {'E', 'x', 'i', 'f', 0, 0};
    if (size >= sizeof kExifIdentifier &&
        std::memcmp(block, kExifIdentifier, sizeof kExifIdentifier) == 0) {
        block += sizeof kExifIdentifier;
        size -= sizeof kExifIdentifier;
    }
    if (size < 8) return false;
    bool littleEndian;
    if (block[0] == 'I' && block[1] == 'I')
        littleEndian = true;
    else if (block[0] == 'M' && block[1] == 'M')
        littleEndian = false;
    else
        return false;
    if (read16(block + 2, littleEndian) != 42) return false;
    // IFD0 lies after the header, its count and every entry inside the block.
    const uint64_t directory = read32(block + 4, littleEndian);
    if (directory < 8 || directory > size - 2) return false;
    const uint64_t entries = read16(block + directory, littleEndian);
    if (entries * kEntryBytes > size - directory - 2) return false;

    std::string make, model;
    bool haveMake = false, haveModel = false, haveOrientation = false;
    const uint8_t* entry = block + directory + 2;
    for (uint64_t i = 0; i < std::min<uint64_t>(entries, kMostExifEntries);
         ++i, entry += kEntryBytes) {
        const uint16_t tag = read16(entry, littleEndian);
        const uint16_t type = read16(entry + 2, littleEndian);
        if (tag == kMake && type == kTypeAscii && !haveMake) {
            make = asciiValue(block, size, entry, littleEndian);
            haveMake = true;
        } else if (tag == kModel && type == kTypeAscii && !haveModel) {
            model = asciiValue(block, size, entry, littleEndian);
            haveModel = true;
        } else if (tag == kOrientation && type == kTypeShort && !haveOrientation &&
                   read32(entry + 4, littleEndian) >= 1) {
            const uint16_t value = read16(entry + 8, littleEndian);
            if (value >= 1 && value <= 8) facts.orientation = uint8_t(value);
            haveOrientation = true;
        }
    }

    if (!make.empty() && !model.empty() && model.find(make) != std::string::npos) {
        facts.cameraText = model;
    } else {
        if (!make.empty()) facts.cameraText.append(make).append(" ");
        facts.cameraText.append(model);
    }
    return true;
}

} // namespace vistrel
