#include "IccProfile.h"

#include "ByteOrder.h"

namespace vistrel {

namespace {

constexpr uint32_t tag(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 |
           uint32_t(uint8_t(text[2])) << 8 | uint32_t(uint8_t(text[3]));
}

// The header is 128 bytes, the tag count 4 more, each tag table entry 12 (signature, offset,
// size).
constexpr std::size_t kHeaderBytes = 128;
constexpr std::size_t kTagEntryBytes = 12;

} // namespace

bool checkProfile(const uint8_t* data, std::size_t size, ProfileHeader& header) {
    if (!data || size < kHeaderBytes + 4) return false;
    const uint64_t stated = bigEndian32(data);
    if (stated < kHeaderBytes + 4 || stated > size || stated > kMaxProfileBytes) return false;
    if (bigEndian32(data + 36) != tag("acsp")) return false;
    switch (bigEndian32(data + 12)) {
    case tag("scnr"):
    case tag("mntr"):
    case tag("prtr"):
    case tag("spac"):
        break;
    default:
        return false;
    }
    switch (bigEndian32(data + 16)) {
    case tag("RGB "):
        header.space = ProfileSpace::Rgb;
        break;
    case tag("GRAY"):
        header.space = ProfileSpace::Gray;
        break;
    case tag("CMYK"):
        header.space = ProfileSpace::Cmyk;
        break;
    default:
        header.space = ProfileSpace::Other;
        break;
    }
    const uint32_t connection = bigEndian32(data + 20);
    if (connection != tag("XYZ ") && connection != tag("Lab ")) return false;
    const uint64_t tags = bigEndian32(data + kHeaderBytes);
    if (tags == 0 || tags > (stated - kHeaderBytes - 4) / kTagEntryBytes) return false;
    for (uint64_t i = 0; i < tags; ++i) {
        const uint8_t* entry = data + kHeaderBytes + 4 + i * kTagEntryBytes;
        const uint64_t offset = bigEndian32(entry + 4), length = bigEndian32(entry + 8);
        if (offset < kHeaderBytes || offset > stated || length > stated - offset) return false;
    }
    header.size = std::size_t(stated);
    header.intent = bigEndian32(data + 64);
    if (header.intent > 3) header.intent = 0;
    return true;
}

} // namespace vistrel
