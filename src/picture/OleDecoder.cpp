#include "OleDecoder.h"

#include "ByteSource.h"
#include "Platform.h"

#include <vector>

namespace vistrel {

namespace {

// What the system decoder leaves where a picture is transparent: every byte of the target
// starts as this value.
constexpr uint8_t kUntouched = 250;

uint8_t blend(uint32_t color, uint32_t alpha) {
    return uint8_t((color * alpha + kUntouched * (255 - alpha) + 127) / 255);
}

} // namespace

bool decodeOle(const uint8_t* data, std::size_t size, Picture& picture) {
    SystemImage image;
    if (!platform().decodeSystemPicture(data, size, image)) return false;
    const int w = image.width, h = image.height;
    if (w <= 0 || h <= 0 || image.pixels.size() != std::size_t(w) * std::size_t(h)) return false;

    // A deeper picture of the same size is drawn into as it is; anything else becomes 24 bits.
    const bool deeper =
        picture.bitsPerPixel() > 24 && picture.width() == w && picture.height() == h;
    if (!deeper && !picture.create(w, h, 24, false)) return false;

    const std::size_t pixel = picture.bitsPerPixel() / 8;
    const uint32_t row = picture.rowSize();
    uint8_t* bits = picture.lockBits();
    for (int y = 0; y < h; ++y) {
        const uint32_t* s = image.pixels.data() + std::size_t(y) * std::size_t(w);
        uint8_t* d = bits + std::size_t(h - 1 - y) * row; // the decoder's rows run top first
        for (int x = 0; x < w; ++x, d += pixel) {
            const uint32_t argb = s[x], alpha = argb >> 24;
            d[0] = blend(argb & 0xFF, alpha);
            d[1] = blend((argb >> 8) & 0xFF, alpha);
            d[2] = blend((argb >> 16) & 0xFF, alpha);
            if (pixel == 4) {
                // Drawing leaves a 32-bit target's fourth byte 0 where it paints; where it does
                // not, the byte keeps the fill value. A painted (250, 250, 250) then reads as
                // opaque white.
                d[3] = alpha ? 0 : kUntouched;
                if (d[0] == kUntouched && d[1] == kUntouched && d[2] == kUntouched && d[3] == 0)
                    d[0] = d[1] = d[2] = d[3] = 0xFF;
            }
        }
    }
    picture.unlockBits();
    return true;
}

bool decodeOle(const char* path, Picture& picture) {
    std::vector<uint8_t> bytes;
    return readWholeFile(path, bytes) && decodeOle(bytes.data(), bytes.size(), picture);
}

} // namespace vistrel
