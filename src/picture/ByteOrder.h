// Multi-byte values as picture files store them: most significant byte first (PNG, JPEG, PSD)
// or least significant first (BMP, TGA, GIF, ICO, WMF; EXIF either way). Every reader of
// src/picture reads through these; the PSD reader has its own (psd_bytes.h).
#pragma once

#include <cstdint>

namespace vistrel {

inline uint16_t bigEndian16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}

inline uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline uint16_t littleEndian16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

inline uint32_t littleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// For formats that say their byte order in the file (EXIF's "II" or "MM").
inline uint16_t read16(const uint8_t* p, bool littleEndian) {
    return littleEndian ? littleEndian16(p) : bigEndian16(p);
}

inline uint32_t read32(const uint8_t* p, bool littleEndian) {
    return littleEndian ? littleEndian32(p) : bigEndian32(p);
}

} // namespace vistrel
