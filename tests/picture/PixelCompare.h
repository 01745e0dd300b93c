// Helpers of the JPEG, EXIF and scaling tests: reference pictures written by other tools and
// pixel comparisons in display coordinates (top row first), whatever the picture's depth.
#pragma once

#include "Picture.h"
#include "TestFiles.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vistrel::test {

// Red, green, blue bytes, top row first.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const {
        return &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
    }
};

// Binary PPM (P6) or PGM (P5, grey spread to three channels), as djpeg and ImageMagick write.
inline RgbImage readPnm(const std::string& path) {
    RgbImage image;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return image;
    char kind[3] = {};
    int maxValue = 0;
    if (std::fscanf(f, "%2s %d %d %d", kind, &image.width, &image.height, &maxValue) == 4 &&
        std::fgetc(f) != EOF && maxValue == 255) {
        const int channels = kind[1] == '6' ? 3 : 1;
        std::vector<uint8_t> raw(std::size_t(image.width) * std::size_t(image.height) *
                                 std::size_t(channels));
        if (std::fread(raw.data(), 1, raw.size(), f) == raw.size()) {
            image.rgb.resize(std::size_t(image.width) * std::size_t(image.height) * 3);
            for (std::size_t i = 0; i < image.rgb.size(); ++i)
                image.rgb[i] = raw[channels == 3 ? i : i / 3];
        }
    }
    std::fclose(f);
    return image;
}

// The picture's pixel at display position (x, y) as red, green, blue (24 or 32 bits).
inline const uint8_t* bgrAt(Picture& p, int x, int y) {
    const uint8_t* bits = p.lockBits();
    p.unlockBits();
    return bits + std::size_t(p.height() - 1 - y) * p.rowSize() +
           std::size_t(x) * std::size_t(p.bitsPerPixel() / 8);
}

struct Difference {
    int largest = 0;
    double mean = 0;
};

// Per-channel difference over the rows [firstRow, lastRow) of the picture and the reference.
inline Difference compare(Picture& p, const RgbImage& ref, int firstRow = 0, int lastRow = -1) {
    Difference d;
    if (lastRow < 0) lastRow = ref.height;
    long long total = 0, count = 0;
    for (int y = firstRow; y < lastRow; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const uint8_t* ours = bgrAt(p, x, y);
            const uint8_t* theirs = ref.at(x, y);
            for (int c = 0; c < 3; ++c) {
                const int diff = std::abs(int(ours[2 - c]) - int(theirs[c]));
                d.largest = std::max(d.largest, diff);
                total += diff;
                ++count;
            }
        }
    d.mean = count ? double(total) / double(count) : 0;
    return d;
}

} // namespace vistrel::test
