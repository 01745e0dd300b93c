#include "Scaling.h"

#include "Resampler.h"

#include <algorithm>

namespace vistrel {

namespace {

// More than this many screens of area get a copy whatever the capabilities.
constexpr double kLargeAreaRatio = 1.98;
// At start-up a reduction of more than this (in area) takes the fast averaging path.
constexpr int64_t kStartUpAverageRatio = 15;

// Whether a picture of that size and depth gets a copy; `transparent` is asked only for a 32-bit
// picture larger than the screen.
template <typename Transparent>
bool needsScreenCopy(Size size, int depth, const ScreenCopyPolicy& policy,
                     Transparent transparent) {
    const int64_t w = size.width, h = size.height;
    const Size screen = policy.screen;
    const bool larger = w > screen.width || h > screen.height;
    if (depth == 32 && larger && policy.capabilities.translucentWindows && transparent())
        return true;
    if (depth < 24) return false;
    const double ratio = double(w * h) / (double(screen.width) * double(screen.height));
    return ratio > kLargeAreaRatio ||
           (larger && policy.capabilities.screenCopyForEveryLargerPicture);
}

// The picture's shape fitted into the screen's; 64-bit products so that no side overflows.
Size fittedSize(Size size, Size screen) {
    const int64_t w = size.width, h = size.height;
    int64_t fw = screen.width, fh = screen.height;
    if ((w * 4096) / h > (int64_t(screen.width) * 4096) / screen.height)
        fh = (h * screen.width) / w;
    else
        fw = (w * screen.height) / h;
    // A sliver of a picture keeps at least one pixel across: an empty copy would show nothing.
    return {int(std::max<int64_t>(fw, 1)), int(std::max<int64_t>(fh, 1))};
}

} // namespace

Size screenCopySize(Size size, int depth, const ScreenCopyPolicy& policy) {
    const Size screen = policy.screen;
    if (size.width <= 0 || size.height <= 0 || screen.width <= 0 || screen.height <= 0) return {};
    if (!needsScreenCopy(size, depth, policy, [] { return false; })) return {};
    return fittedSize(size, screen);
}

void prepareScreenCopy(Picture& source, std::unique_ptr<Picture>& fitted,
                       const ScreenCopyPolicy& policy, Size standsFor) {
    if (source.empty()) return;
    const Size screen = policy.screen;
    if (screen.width <= 0 || screen.height <= 0) return;
    const Size size = standsFor.width > 0 ? standsFor : Size{source.width(), source.height()};
    if (!needsScreenCopy(size, source.bitsPerPixel(), policy,
                         [&] { return hasRealTransparency(source); }))
        return;
    if (!fitted) fitted = std::make_unique<Picture>();
    const Size copy = fittedSize(size, screen);
    const int64_t w = source.width(), h = source.height();
    const int64_t fw = copy.width, fh = copy.height;

    if (source.bitsPerPixel() == 24 && !policy.windowExists &&
        (w * h) / (fw * fh) > kStartUpAverageRatio) {
        fitted->create(int(fw), int(fh), 24, false);
        averagePicture(fitted->info(), fitted->pixels(), source.info(), source.pixels());
        return;
    }
    // The filtered copy is 32 bits whatever the depth; for a 24-bit picture the resampler reads
    // the 24-bit pixels directly (alpha 255): the same copy as converting the picture to 32 bits
    // first and reducing that, without writing and reading a second full-size picture.
    fitted->create(int(fw), int(fh), 32, false);
    resizePicture(fitted->pixels(), fitted->info(), source.pixels(), source.info(),
                  ResizeFilter::Triangle);
    if (source.bitsPerPixel() == 32) resampleAlpha(*fitted, source);
}

void resampleAlpha(Picture& destination, Picture& source) {
    if (destination.bitsPerPixel() != 32 || source.bitsPerPixel() != 32) return;
    const uint64_t w = uint64_t(source.width()), h = uint64_t(source.height());
    const uint64_t fw = uint64_t(destination.width()), fh = uint64_t(destination.height());
    // 64-bit steps: a 32-bit w * 1024 would wrap for pictures wider than 4 million pixels.
    const uint64_t xstep = (w * 1024) / fw, ystep = (h * 1024) / fh;
    const std::size_t fromRow = source.rowSize(), toRow = destination.rowSize();
    const uint8_t* src = source.pixels();
    uint8_t* dst = destination.pixels();
    auto alpha = [&](uint64_t r, uint64_t c) -> int { return src[r * fromRow + c * 4 + 3]; };
    for (uint64_t j = 0; j + 1 < fh; ++j) {
        const uint64_t sy = j * ystep, r = sy >> 10;
        const int fy = int(sy & 1023);
        // Enlarging more than twice, the last rows reach the bottom source row, which has no row
        // after it in memory: it pairs with itself rather than with bytes past the block.
        const uint64_t below = std::min(r + 1, h - 1);
        uint8_t* out = dst + j * toRow + 3;
        for (uint64_t i = 0; i < fw; ++i, out += 4) {
            const uint64_t sx = i * xstep, c = sx >> 10;
            const int fx = int(sx & 1023);
            // Column c + 1 is not clamped: at the right edge it is the next memory row's first
            // pixel, or for the last row the block's spare bytes.
            const int a = alpha(r, c), b = alpha(r, c + 1);
            const int top = a + ((b - a) * fx >> 10);
            const int e = alpha(below, c), f = alpha(below, c + 1);
            const int bottom = e + ((f - e) * fx >> 10);
            *out = uint8_t(top + ((bottom - top) * fy >> 10));
        }
    }
}

} // namespace vistrel
