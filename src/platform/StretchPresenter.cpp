#include "StretchPresenter.h"

#include "WindowHost.h"

#include <cstring>

namespace vistrel {

bool StretchPresenter::upload(const BitmapInfoHeader& info, const RgbQuad* colors,
                              const uint8_t* bits) {
    const int w = info.width, h = info.height;
    if (!bits || w <= 0 || h <= 0 || info.compression != 0) return false;
    if (uint64_t(w) * uint64_t(h) > (uint64_t(1) << 28)) return false;
    if (w != width_ || h != height_) {
        surface_.reset();
        width_ = height_ = 0;
        LargeBuffer fresh(std::size_t(w) * std::size_t(h) * 4);
        if (!fresh) return false;
        surface_ = std::move(fresh);
        width_ = w;
        height_ = h;
    }
    const uint32_t rowSize = uint32_t(((uint64_t(info.bitCount) * uint64_t(w) + 31) / 32) * 4);
    auto* out = reinterpret_cast<uint32_t*>(surface_.data());
    for (int row = 0; row < h; ++row) {
        uint32_t* d = out + std::size_t(row) * std::size_t(w);
        if (info.bitCount == 32) {
            std::memcpy(d, bits + std::size_t(row) * rowSize, std::size_t(w) * 4);
            for (int x = 0; x < w; ++x)
                d[x] &= 0x00FFFFFF; // the surface has no alpha
        } else {
            expandBitmapRow(info, colors, bits, rowSize, row, 0, w, d);
            for (int x = 0; x < w; ++x)
                d[x] &= 0x00FFFFFF;
        }
    }
    return true;
}

Rect StretchPresenter::aspectFit(const Rect& rect, int pictureWidth, int pictureHeight) {
    Rect fit = rect;
    const int64_t rw = rect.width(), rh = rect.height();
    const int64_t pw = pictureWidth, ph = pictureHeight;
    if (pw <= 0 || ph <= 0) return fit;
    if (rw * ph <= rh * pw) {
        const int64_t height = rw * ph / pw;
        const int margin = int((rh - height) >> 1);
        fit.top += margin;
        fit.bottom -= margin;
    } else {
        const int64_t width = rh * pw / ph;
        const int margin = int((rw - width) >> 1);
        fit.left += margin;
        fit.right -= margin;
    }
    return fit;
}

bool StretchPresenter::blit(const Rect& client) {
    if (!surface_ || width_ <= 0 || height_ <= 0) return false;
    const Rect destination = aspectFit(client, width_, height_);
    if (destination.width() <= 0 || destination.height() <= 0) return false;
    window_.blitSurface(surface(), width_, height_, destination);
    return true;
}

} // namespace vistrel
