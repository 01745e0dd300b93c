// The one in-memory form of every decoded image: an info block (40-byte bitmap header plus colour
// table) and a separate pixel block, rows top row first and padded to 4 bytes. 24-bit pixels are
// blue, green, red; 32-bit pixels blue, green, red, alpha; 16-bit pixels 5-5-5; 8 bits or fewer
// are colour table indices.
#pragma once

#include "BitmapLayout.h"
#include "Canvas.h"
#include "LargeBuffer.h"

#include <cstdint>

namespace vistrel {

// Pictures of more pixels than this are refused before anything is allocated.
inline constexpr uint64_t kMaxPicturePixels = uint64_t(1) << 28;
// `create` keeps a block of the same depth while it is at most this much larger than needed.
inline constexpr uint32_t kReuseSlack = 1280000;

class Picture {
public:
    Picture() = default;
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // Makes this an image of the given size and depth (1, 2, 4, 8, 16, 24 or 32 bits). Keeps the
    // pixel block when the depth is the same and either the size is too or the block is less than
    // kReuseSlack bytes larger than needed; `clear` then zeroes the image bytes. A rebuilt block is
    // zero-filled. False, and an empty picture after a rebuild, when the size is 0, too large, or
    // memory runs out.
    bool create(int width, int height, int bitsPerPixel, bool clear);
    // Frees the pixels; `after` says whether the block is worth keeping for a picture to come.
    void release(AfterUse after = AfterUse::Reuse);

    uint32_t rowSize();
    uint32_t imageSize();
    uint32_t headerSize() const;
    int width() const { return info_ ? info_->width : 0; }
    int height() const { return info_ ? info_->height : 0; }
    int bitsPerPixel() const { return info_ ? info_->bitCount : 0; }

    // The pixel block: height rows of rowSize bytes, the top row first; null when empty.
    uint8_t* pixels() { return pixels_; }
    const uint8_t* pixels() const { return pixels_; }

    // Header (40 bytes) and colour table; null when empty.
    BitmapInfoHeader* info() { return info_; }
    const BitmapInfoHeader* info() const { return info_; }
    RgbQuad* colorTable() {
        return info_ && info_->bitCount <= 8 ? reinterpret_cast<RgbQuad*>(info_ + 1) : nullptr;
    }
    uint32_t capacity() const { return capacity_; }
    bool empty() const { return pixels_ == nullptr; }

    bool copyFrom(Picture& source);
    void swap(Picture& other);
    // Expands palette, 5-5-5 and 32-bit pictures to 24 bits.
    bool convertTo24();
    // A negative width or height stands for the whole picture; (sourceX, sourceY) count from the
    // top-left pixel.
    bool draw(Canvas& canvas, int x, int y, int width, int height, int sourceX, int sourceY);
    // +90 a quarter turn clockwise, -90 counter-clockwise; other angles change nothing.
    void rotateQuarter(int angle);
    bool adoptBitmap(const BitmapDescription& bitmap);
    // Takes over `block`, from allocateLarge of `capacity` + kPixelSpareBytes bytes, as the
    // pixels of a width x height picture of that depth: its rows (top first, padded to 4 bytes)
    // at the start, at most `capacity` bytes, and kPixelSpareBytes zero bytes after them. The
    // picture frees the block from then on. False, with the block still the caller's, when the
    // size or depth cannot be a picture's, the rows need more than `capacity` bytes, or memory
    // for the header runs out (the picture is then empty).
    bool adoptPixels(uint8_t* block, uint32_t capacity, int width, int height, int bitsPerPixel);

private:
    // Makes `info_` the header of a picture of that size and depth (checked by the caller);
    // false when memory runs out.
    bool makeInfo(int width, int height, int bitsPerPixel, uint32_t imageBytes);

    uint32_t rowSize_ = 0; // cached; 0 = not yet computed
    uint8_t* pixels_ = nullptr;
    BitmapInfoHeader* info_ = nullptr;
    uint32_t capacity_ = 0; // image size the pixel block was allocated for
};

// Whether a 32-bit picture carries real transparency (its alpha bytes are not one value
// throughout), so that a desktop with translucent windows draws it through its alpha. Samples
// the corners, the centre and the quarter points, and for narrow pictures the middle row.
bool hasRealTransparency(Picture& picture);

// Bytes per row of a bitmap of that width and depth, padded to 4 bytes.
inline uint64_t paddedRowSize(uint64_t width, uint32_t bitsPerPixel) {
    return ((bitsPerPixel * width + 31) / 32) * 4;
}

} // namespace vistrel
