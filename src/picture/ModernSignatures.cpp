#include "ModernSignatures.h"

#include <cstring>
#include <initializer_list>

namespace vistrel {

namespace {

// The ftyp box's major brand, or nothing.
const uint8_t* majorBrand(const uint8_t* data, std::size_t size) {
    return size >= 12 && std::memcmp(data + 4, "ftyp", 4) == 0 ? data + 8 : nullptr;
}

} // namespace

bool isWebp(const uint8_t* data, std::size_t size) {
    return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

bool isHeic(const uint8_t* data, std::size_t size) {
    const uint8_t* brand = majorBrand(data, size);
    if (!brand) return false;
    for (const char* heif : {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1"})
        if (std::memcmp(brand, heif, 4) == 0) return true;
    return false;
}

bool isAvif(const uint8_t* data, std::size_t size) {
    const uint8_t* brand = majorBrand(data, size);
    return brand && (std::memcmp(brand, "avif", 4) == 0 || std::memcmp(brand, "avis", 4) == 0);
}

bool isJxl(const uint8_t* data, std::size_t size) {
    static constexpr uint8_t kContainer[12] = {0,   0,   0,    12,   'J',  'X',
                                               'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    return (size >= 2 && data[0] == 0xFF && data[1] == 0x0A) ||
           (size >= sizeof kContainer && std::memcmp(data, kContainer, sizeof kContainer) == 0);
}

} // namespace vistrel
