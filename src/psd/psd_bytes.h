// Big-endian values from bytes: every multi-byte value in a PSD file is stored most significant
// byte first, and 4-character keys are compared as such 32-bit values. The one place that knows
// it; the stream, the cursor over in-memory blocks and the fixed header all read through here.
#pragma once

#include <cstdint>
#include <cstring>

inline uint16_t psd_be16(const uint8_t* p) {
    return uint16_t((p[0] << 8) | p[1]);
}

inline uint32_t psd_be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

inline uint64_t psd_be64(const uint8_t* p) {
    return (uint64_t(psd_be32(p)) << 32) | psd_be32(p + 4);
}

// IEEE single and double precision, stored big-endian.
inline float psd_be_f32(const uint8_t* p) {
    const uint32_t bits = psd_be32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline double psd_be_f64(const uint8_t* p) {
    const uint64_t bits = psd_be64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A 4-character key ("8BIM", "norm") as the big-endian 32-bit value the file holds.
constexpr uint32_t psd_key(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}
