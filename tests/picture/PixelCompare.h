// Pixel comparisons in display order (top row first, 0xAARRGGBB words as argbPixels gives them)
// against references written by other tools.
#pragma once

#include "TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vistrel::test {

struct Reference {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// Binary PPM (P6) or PGM (P5), as djpeg and ImageMagick write them.
inline Reference readPnm(const std::string& path) {
    Reference image;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return image;
    char kind[3] = {};
    int maxValue = 0;
    if (std::fscanf(f, "%2s %d %d %d", kind, &image.width, &image.height, &maxValue) == 4 &&
        std::fgetc(f) != EOF && maxValue == 255) {
        const std::size_t n = std::size_t(image.width) * image.height,
                          step = kind[1] == '6' ? 3 : 1;
        std::vector<uint8_t> raw(n * step);
        if (std::fread(raw.data(), 1, raw.size(), f) == raw.size())
            for (std::size_t i = 0; i < raw.size(); i += step)
                image.pixels.push_back(0xFF000000u | raw[i] << 16 | raw[i + step / 2] << 8 |
                                       raw[i + step - 1]);
    }
    std::fclose(f);
    return image;
}

// RGBA bytes as ImageMagick and Pillow write them raw.
inline std::vector<uint32_t> fromRgba(const std::vector<uint8_t>& rgba) {
    std::vector<uint32_t> out;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4)
        out.push_back(uint32_t(rgba[i + 3]) << 24 | rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2]);
    return out;
}

struct Difference {
    int largest = 0;
    double mean = 0;
    std::size_t at = 0; // the pixel of the largest difference
};

// Per-channel difference over the first `count` pixels (all when 0), alpha too with `alpha`.
inline Difference compare(const std::vector<uint32_t>& ours, const std::vector<uint32_t>& theirs,
                          bool alpha = false, std::size_t count = 0) {
    Difference d;
    if (ours.size() != theirs.size() || ours.empty()) return {1000, 1000, 0};
    if (count == 0) count = ours.size();
    double total = 0;
    for (std::size_t i = 0; i < count; ++i)
        for (int shift = 0; shift < (alpha ? 32 : 24); shift += 8) {
            const int diff =
                std::abs(int(ours[i] >> shift & 0xFF) - int(theirs[i] >> shift & 0xFF));
            total += diff;
            if (diff > d.largest) d.largest = diff, d.at = i;
        }
    d.mean = total / double(count * (alpha ? 4 : 3));
    return d;
}

// The bytes of the picture's pixel at (x, y), blue first.
inline const uint8_t* bgrAt(Picture& p, int x, int y) {
    return p.pixels() + std::size_t(y) * p.rowSize() +
           std::size_t(x) * std::size_t(p.bitsPerPixel() / 8);
}

} // namespace vistrel::test
