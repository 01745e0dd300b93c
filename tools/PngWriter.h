// Writes 8-bit RGB, RGBA or grayscale rows as a PNG file.
#pragma once

#include <cstdint>
#include <vector>

namespace vistrel {

// `pixels` holds 0xAARRGGBB words, top row first; alpha is written only when `withAlpha`.
bool writePng(const char* path, int width, int height, const uint32_t* pixels, bool withAlpha);
inline bool writePng(const char* path, int width, int height, const std::vector<uint32_t>& pixels,
                     bool withAlpha) {
    if (pixels.size() < std::size_t(width > 0 ? width : 0) * std::size_t(height > 0 ? height : 0))
        return false;
    return writePng(path, width, height, pixels.data(), withAlpha);
}
// `samples` holds one byte per pixel, top row first.
bool writeGrayPng(const char* path, int width, int height, const uint8_t* samples);

} // namespace vistrel
