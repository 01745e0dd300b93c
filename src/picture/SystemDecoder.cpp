#include "SystemDecoder.h"

#include "BmpDecoder.h"
#include "ByteSource.h"
#include "DecodeLimits.h"
#include "GifFrames.h"
#include "IconDirectory.h"
#include "JpegDecoder.h"
#include "Platform.h"
#include "WmfFile.h"

#include <cstring>
#include <vector>

namespace vistrel {

namespace {

// What the system decoder leaves where a picture is transparent: every byte of the target
// starts as this value.
constexpr uint8_t kUntouched = 250;

uint8_t blend(uint32_t color, uint32_t alpha) {
    return uint8_t((color * alpha + kUntouched * (255 - alpha) + 127) / 255);
}

// Draws the decoded rows into the picture as the system decoder renders: over the fill value.
class RenderSink final : public SystemImageSink {
public:
    explicit RenderSink(Picture& picture) : picture_(picture) {}

    bool begin(int width, int height) override {
        // A deeper picture of the same size is drawn into as it is; anything else becomes 24
        // bits.
        const bool deeper = picture_.bitsPerPixel() > 24 && picture_.width() == width &&
                            picture_.height() == height;
        if (!deeper && !picture_.create(width, height, 24, false)) return false;
        width_ = width;
        bits_ = picture_.pixels();
        return true;
    }

    void row(int y, const uint32_t* argb) override {
        const std::size_t pixel = std::size_t(picture_.bitsPerPixel() / 8);
        uint8_t* d = bits_ + std::size_t(y) * picture_.rowSize();
        for (int x = 0; x < width_; ++x, d += pixel) {
            const uint32_t alpha = argb[x] >> 24;
            d[0] = blend(argb[x] & 0xFF, alpha);
            d[1] = blend((argb[x] >> 8) & 0xFF, alpha);
            d[2] = blend((argb[x] >> 16) & 0xFF, alpha);
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

private:
    Picture& picture_;
    uint8_t* bits_ = nullptr;
    int width_ = 0;
};

// The size rule of DecodeLimits.h for the formats the system picture decoder reads, told by
// their first bytes as that decoder tells them, before its reader sizes anything. Other bytes
// are left to the decoder, which refuses what it does not read.
bool dataCanFillPicture(const uint8_t* data, std::size_t size) {
    if (size >= 3 && std::memcmp(data, "GIF", 3) == 0) return gifDataCanFill(data, size);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        MemorySource source(data, size);
        return bmpDataCanFill(source);
    }
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return jpegDataCanFill(data, size);
    WmfHeader metafile;
    if (readWmfHeader(data, size, metafile))
        return metafileFits(uint64_t(metafile.width) * uint64_t(metafile.height));
    if (iconKindOf(data, size) != IconKind::None)
        return iconImageFitsItsData(data, size, chooseIconImage(data, size));
    return true;
}

} // namespace

bool decodeWithSystem(const uint8_t* data, std::size_t size, Picture& picture) {
    if (!dataCanFillPicture(data, size)) return false;
    RenderSink sink(picture);
    return platform().decodeSystemPicture(data, size, sink);
}

bool decodeWithSystem(const char* path, Picture& picture) {
    std::vector<uint8_t> bytes;
    return readWholeFile(path, bytes) && decodeWithSystem(bytes.data(), bytes.size(), picture);
}

} // namespace vistrel
