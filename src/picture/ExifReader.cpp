#include "ExifReader.h"

#include "ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

constexpr uint16_t kMake = 0x010F;
constexpr uint16_t kModel = 0x0110;
constexpr uint16_t kOrientation = 0x0112;
constexpr uint16_t kDateTime = 0x0132;
constexpr uint16_t kExifDirectory = 0x8769;
constexpr uint16_t kDateTimeOriginal = 0x9003;
constexpr uint16_t kTypeAscii = 2;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

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

// Appends the code point (below 0x100 here) as UTF-8.
void appendLatin1(std::string& out, uint8_t c) {
    if (c < 0x80) {
        out += char(c);
    } else {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    }
}

// A date as a person reads it: "YYYY:MM:DD HH:MM:SS" with dashes in the date, anything else as it
// is, control characters dropped; empty for the blanks and zeros of a camera without a clock.
std::string readableDate(const std::string& stored) {
    std::string text;
    for (const char c : stored)
        if (uint8_t(c) >= 0x20 && c != 0x7F) appendLatin1(text, uint8_t(c));
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    if (text.size() == 19 && text[4] == ':' && text[7] == ':' && text[10] == ' ') {
        text[4] = '-';
        text[7] = '-';
    }
    if (text.find_first_not_of(" :0-") == std::string::npos) return {};
    return text;
}

// The entries of the directory at `directory`, or null when its count and entries do not lie
// within the block.
const uint8_t* directoryEntries(const uint8_t* block, std::size_t size, uint64_t directory,
                                bool littleEndian, uint64_t& entries) {
    if (directory < 8 || directory > size - 2) return nullptr;
    entries = read16(block + directory, littleEndian);
    if (entries * kEntryBytes > size - directory - 2) return nullptr;
    entries = std::min<uint64_t>(entries, kMostExifEntries);
    return block + directory + 2;
}

// The Exif directory's DateTimeOriginal; empty when the directory or the tag is missing.
std::string originalDate(const uint8_t* block, std::size_t size, uint64_t directory,
                         bool littleEndian) {
    uint64_t entries = 0;
    const uint8_t* entry = directoryEntries(block, size, directory, littleEndian, entries);
    for (uint64_t i = 0; entry && i < entries; ++i, entry += kEntryBytes)
        if (read16(entry, littleEndian) == kDateTimeOriginal &&
            read16(entry + 2, littleEndian) == kTypeAscii)
            return readableDate(asciiValue(block, size, entry, littleEndian));
    return {};
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
    uint64_t entries = 0;
    const uint8_t* entry =
        directoryEntries(block, size, read32(block + 4, littleEndian), littleEndian, entries);
    if (!entry) return false;

    std::string make, model, date;
    bool haveMake = false, haveModel = false, haveOrientation = false;
    uint64_t exifDirectory = 0; // none
    for (uint64_t i = 0; i < entries; ++i, entry += kEntryBytes) {
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
        } else if (tag == kDateTime && type == kTypeAscii && date.empty()) {
            date = readableDate(asciiValue(block, size, entry, littleEndian));
        } else if (tag == kExifDirectory && type == kTypeLong && exifDirectory == 0 &&
                   read32(entry + 4, littleEndian) == 1) {
            exifDirectory = read32(entry + 8, littleEndian);
        }
    }
    facts.dateTaken = originalDate(block, size, exifDirectory, littleEndian);
    if (facts.dateTaken.empty()) facts.dateTaken = date;

    if (!make.empty() && !model.empty() && model.find(make) != std::string::npos) {
        facts.cameraText = model;
    } else {
        if (!make.empty()) facts.cameraText.append(make).append(" ");
        facts.cameraText.append(model);
    }
    return true;
}

} // namespace vistrel
