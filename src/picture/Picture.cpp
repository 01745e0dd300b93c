#include "Picture.h"

#include "LargeBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vistrel {

namespace {

bool isSupportedDepth(int bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

uint32_t colorTableEntries(int bits) {
    return bits <= 8 ? 1u << bits : 0;
}

constexpr uint32_t kYV12 = 0x32315659; // "YV12" as a little-endian four-character code

// The image bytes of a picture of that size and depth; 0 when it cannot be one (no size, a depth
// without a layout, more than kMaxPicturePixels, or a block beyond 32-bit sizes).
uint32_t imageBytes(int width, int height, int bitsPerPixel) {
    if (width <= 0 || height <= 0 || !isSupportedDepth(bitsPerPixel)) return 0;
    if (uint64_t(width) * uint64_t(height) > kMaxPicturePixels) return 0;
    const uint64_t bytes =
        paddedRowSize(uint64_t(width), uint32_t(bitsPerPixel)) * uint64_t(height);
    return bytes > UINT32_MAX - kPixelSpareBytes ? 0 : uint32_t(bytes);
}

} // namespace

Picture::~Picture() {
    release();
}

bool Picture::create(int width, int height, int bitsPerPixel, bool clear) {
    const uint32_t need = imageBytes(width, height, bitsPerPixel);
    if (need == 0) return false;
    const uint32_t row = uint32_t(paddedRowSize(uint64_t(width), uint32_t(bitsPerPixel)));

    if (pixels_ && info_ && info_->bitCount == bitsPerPixel) {
        bool keep = info_->width == width && info_->height == height;
        if (!keep && capacity_ >= need && capacity_ - need < kReuseSlack) {
            info_->width = width;
            info_->height = height;
            info_->sizeImage = need;
            rowSize_ = row;
            keep = true;
        }
        if (keep) {
            if (clear) {
                // A kept header may carry a smaller size-image read from a file; never clear
                // past what the block holds.
                std::memset(pixels_, 0, std::min(imageSize(), capacity_));
            }
            return true;
        }
    }

    release();
    if (!makeInfo(width, height, bitsPerPixel, need)) return false;
    pixels_ = static_cast<uint8_t*>(allocateLarge(std::size_t(need) + kPixelSpareBytes));
    if (!pixels_) {
        std::free(info_);
        info_ = nullptr;
        return false;
    }
    capacity_ = need;
    rowSize_ = row;
    return true;
}

bool Picture::adoptPixels(uint8_t* block, uint32_t capacity, int width, int height,
                          int bitsPerPixel) {
    const uint32_t need = imageBytes(width, height, bitsPerPixel);
    if (!block || need == 0 || capacity < need || capacity > UINT32_MAX - kPixelSpareBytes)
        return false;
    release();
    if (!makeInfo(width, height, bitsPerPixel, need)) return false;
    pixels_ = block;
    capacity_ = capacity;
    rowSize_ = uint32_t(paddedRowSize(uint64_t(width), uint32_t(bitsPerPixel)));
    return true;
}

bool Picture::makeInfo(int width, int height, int bitsPerPixel, uint32_t imageBytes) {
    const std::size_t infoBytes = sizeof(BitmapInfoHeader) + 4 * colorTableEntries(bitsPerPixel);
    info_ = static_cast<BitmapInfoHeader*>(std::calloc(1, infoBytes));
    if (!info_) return false;
    info_->size = sizeof(BitmapInfoHeader);
    info_->width = width;
    info_->height = height;
    info_->planes = 1;
    info_->bitCount = uint16_t(bitsPerPixel);
    info_->sizeImage = imageBytes;
    return true;
}

void Picture::release(AfterUse after) {
    if (!pixels_) return;
    freeLarge(pixels_, std::size_t(capacity_) + kPixelSpareBytes, after);
    pixels_ = nullptr;
    std::free(info_);
    info_ = nullptr;
    capacity_ = 0;
    rowSize_ = 0;
}

uint32_t Picture::rowSize() {
    if (rowSize_ == 0 && info_) {
        if (info_->compression == 0)
            rowSize_ = uint32_t(paddedRowSize(uint32_t(info_->width), info_->bitCount));
        else if (info_->compression == kYV12)
            rowSize_ = uint32_t(info_->width);
        else
            rowSize_ = uint32_t(info_->width) * 2;
    }
    return rowSize_;
}

uint32_t Picture::imageSize() {
    if (!info_) return 0;
    if (info_->sizeImage == 0) info_->sizeImage = rowSize() * uint32_t(info_->height);
    return info_->sizeImage;
}

uint32_t Picture::headerSize() const {
    if (!info_ || info_->bitCount > 8) return sizeof(BitmapInfoHeader);
    // The colour table never holds more than 2^bits entries, whatever a file's colours-used says.
    const uint32_t full = colorTableEntries(info_->bitCount);
    const uint32_t used = info_->clrUsed ? std::min(info_->clrUsed, full) : full;
    return sizeof(BitmapInfoHeader) + 4 * used;
}

bool Picture::copyFrom(Picture& source) {
    if (&source == this) return true;
    if (!create(source.width(), source.height(), source.bitsPerPixel(), false)) {
        release();
        return false;
    }
    std::memcpy(pixels_, source.pixels_,
                std::min({source.imageSize(), source.capacity_, capacity_}));
    if (bitsPerPixel() <= 8) std::memcpy(info_, source.info_, source.headerSize());
    info_->size = sizeof(BitmapInfoHeader);
    return true;
}

void Picture::swap(Picture& other) {
    if (&other == this) return;
    std::swap(rowSize_, other.rowSize_);
    std::swap(pixels_, other.pixels_);
    std::swap(info_, other.info_);
    std::swap(capacity_, other.capacity_);
}

bool Picture::convertTo24() {
    if (!pixels_) return false;
    const int bits = bitsPerPixel();
    if (bits == 24) return true;
    const int w = width(), h = height();
    Picture converted;
    if (!converted.create(w, h, 24, false)) return false;

    const uint32_t fromRow = rowSize(), toRow = converted.rowSize();
    const uint8_t* src = pixels_;
    uint8_t* dst = converted.pixels_;
    std::vector<uint32_t> expanded(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        expandBitmapRow(*info_, colorTable(), src, fromRow, y, 0, w, expanded.data());
        uint8_t* d = dst + std::size_t(y) * toRow;
        for (const uint32_t argb : expanded) {
            *d++ = uint8_t(argb);
            *d++ = uint8_t(argb >> 8);
            *d++ = uint8_t(argb >> 16);
        }
    }
    swap(converted);
    return true;
}

bool Picture::draw(Canvas& canvas, int x, int y, int width, int height, int sourceX, int sourceY) {
    if (!pixels_) return false;
    const int h = this->height();
    if (width < 0) width = this->width();
    if (height < 0) height = h;
    return canvas.drawPicture(x, y, width, height, sourceX, sourceY, *info_, colorTable(), pixels_);
}

void Picture::rotateQuarter(int angle) {
    if ((angle != 90 && angle != -90) || !pixels_) return;
    if (bitsPerPixel() < 24 && !convertTo24()) return;
    const int w = width(), h = height(), bits = bitsPerPixel();
    const std::size_t pixel = std::size_t(bits / 8);
    Picture turned;
    if (!turned.create(h, w, bits, false)) return;

    const uint32_t fromRow = rowSize(), toRow = turned.rowSize();
    const uint8_t* src = pixels_;
    uint8_t* dst = turned.pixels_;
    // Turned clockwise, target row r is source column r read from the bottom row up; counter-
    // clockwise it is source column w-1-r read from the top down. Tiles keep both sides in the
    // cache.
    constexpr int kTile = 32;
    for (int r0 = 0; r0 < w; r0 += kTile) {
        const int r1 = std::min(w, r0 + kTile);
        for (int c0 = 0; c0 < h; c0 += kTile) {
            const int c1 = std::min(h, c0 + kTile);
            for (int r = r0; r < r1; ++r) {
                uint8_t* d = dst + std::size_t(r) * toRow + std::size_t(c0) * pixel;
                const std::size_t column = angle == 90 ? std::size_t(r) : std::size_t(w - 1 - r);
                for (int c = c0; c < c1; ++c, d += pixel) {
                    const std::size_t row = angle == 90 ? std::size_t(h - 1 - c) : std::size_t(c);
                    std::memcpy(d, src + row * fromRow + column * pixel, pixel);
                }
            }
        }
    }
    swap(turned);
}

bool Picture::adoptBitmap(const BitmapDescription& bitmap) {
    if (bitmap.width < 1 || bitmap.height < 1 || bitmap.pitch < 1 || !bitmap.bits) return false;
    const int depth = bitmap.bitsPerPixel <= 24 ? bitmap.bitsPerPixel : 24;
    const bool dropAlpha = bitmap.bitsPerPixel == 32;
    if (dropAlpha && uint64_t(bitmap.pitch) < uint64_t(bitmap.width) * 4) return false;
    if (!create(bitmap.width, bitmap.height, depth, false)) return false;

    const uint32_t row = rowSize();
    for (int k = 0; k < bitmap.height; ++k) {
        const uint8_t* s = bitmap.bits + std::size_t(k) * std::size_t(bitmap.pitch);
        uint8_t* d = pixels_ + std::size_t(k) * row;
        if (dropAlpha) {
            for (int x = 0; x < bitmap.width; ++x)
                std::memcpy(d + 3 * x, s + 4 * x, 3);
        } else {
            std::memcpy(d, s, std::min<std::size_t>(std::size_t(bitmap.pitch), row));
        }
    }
    return true;
}

bool hasRealTransparency(Picture& picture) {
    if (picture.bitsPerPixel() != 32) return false;
    const int w = picture.width(), h = picture.height();
    if (w <= 2 || h <= 2) return false;
    const uint8_t* bits = picture.pixels();
    const uint32_t row = picture.rowSize();
    auto alpha = [&](int r, int c) { return bits[std::size_t(r) * row + std::size_t(c) * 4 + 3]; };

    const uint8_t a = alpha(h / 2, w / 2);
    bool needs = alpha(0, 0) != a || alpha(0, w - 1) != a || alpha(h - 1, 0) != a ||
                 alpha(h - 1, w - 1) != a || (a > 0 && a < 255);
    if (!needs && w > 4 && h > 4)
        needs = alpha(h / 4, w / 2) != a || alpha(h / 2, w / 4) != a ||
                alpha(h / 2, (3 * w) / 4) != a || alpha((3 * h) / 4, w / 2) != a;
    if (!needs && w < 1024 && h > 24) {
        const uint8_t first = alpha(h / 2, 0);
        for (int c = 1; c < w && !needs; ++c)
            needs = alpha(h / 2, c) != first;
    }
    return needs;
}

} // namespace vistrel
