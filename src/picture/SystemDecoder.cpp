#include "SystemDecoder.h"

#include "ByteSource.h"
#include "Platform.h"

#include <vector>

namespace vistrel {

namespace {

// What the system decoder leaves where a picture is transparent: every byte of the target
// starts as this value.
constexpr uint8_t kUntouched = kTransparentBackdrop;

uint8_t blend(uint32_t color, uint32_t alpha) {
    return uint8_t((color * alpha + kUntouched * (255 - alpha) + 127) / 255);
}

// Draws the decoded rows into the picture as the system decoder renders: over the fill value.
class RenderSink final : public SystemImageSink {
public:
    explicit RenderSink(Picture& picture) : picture_(picture) {}

    DecodeResult begin(int width, int height) override {
        // A deeper picture of the same size is drawn into as it is; anything else becomes 24
        // bits.
        const bool deeper = picture_.bitsPerPixel() > 24 && picture_.width() == width &&
                            picture_.height() == height;
        if (!deeper) {
            if (const DecodeResult made = createPicture(picture_, width, height, 24); !made)
                return made;
        }
        width_ = width;
        bits_ = picture_.pixels();
        return kOk;
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

} // namespace

DecodeResult decodeWithSystem(const uint8_t* data, std::size_t size, Picture& picture) {
    // The formats the system picture decoder reads, told by their first bytes as that decoder
    // tells them, are held to the size rule before its reader sizes anything; other bytes are
    // left to the decoder, which refuses what it does not read. Their header is read first: one
    // cut short is refused as such, one that claims more pixels than any picture may have as
    // too large (the decoder's readers refuse both too). Anything else a header reader finds
    // wrong is left to the size rule and the decoder, whose readers are more lenient (a GIF with
    // an empty screen is sized by its frame).
    const PictureFormat* format = formatOfBytes(data, size);
    if (format && format->systemDataCanFill) {
        MemorySource source(data, size);
        PictureHeader header;
        const DecodeResult read = format->readHeader(source, header);
        if (read.refusal() == Refusal::Truncated) return read;
        if (read && header.pixels() > kMaxPicturePixels) return Refusal::TooLarge;
        if (!format->systemDataCanFill(data, size)) return read ? Refusal::SizeRule : read;
    }
    RenderSink sink(picture);
    return platform().decodeSystemPicture(data, size, sink);
}

DecodeResult decodeWithSystem(const char* path, Picture& picture) {
    std::vector<uint8_t> bytes;
    if (const DecodeResult read = readWholeFile(path, bytes); !read) return read;
    return decodeWithSystem(bytes.data(), bytes.size(), picture);
}

} // namespace vistrel
