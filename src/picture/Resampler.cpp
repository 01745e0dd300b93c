#include "Resampler.h"

#include "LargeBuffer.h"
#include "ResamplerKernels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <vector>

namespace vistrel {

namespace resampling {

namespace {
// Weights of one axis, at most (64 MB of them).
constexpr uint64_t kMostWeights = uint64_t(1) << 25;

struct Layout {
    int width = 0;
    int height = 0;
    int pixelBytes = 0; // 3 or 4
    std::size_t rowSize = 0;
};

bool layoutOf(const BitmapInfoHeader* info, const void* pixels, Layout& layout) {
    if (!info || !pixels || info->width <= 0 || info->height <= 0 || info->compression != 0 ||
        (info->bitCount != 24 && info->bitCount != 32))
        return false;
    layout.width = info->width;
    layout.height = info->height;
    layout.pixelBytes = info->bitCount / 8;
    layout.rowSize = std::size_t((uint64_t(info->bitCount) * uint64_t(info->width) + 31) / 32 * 4);
    return true;
}

enum class Kernel { Area, Triangle, Lanczos3 };

double sinc(double x) {
    if (x == 0.0) return 1.0;
    const double px = std::numbers::pi * x;
    return std::sin(px) / px;
}

double kernelAt(Kernel kernel, double x) {
    x = std::fabs(x);
    if (kernel == Kernel::Triangle) return x < 1.0 ? 1.0 - x : 0.0;
    return x < 3.0 ? sinc(x) * sinc(x / 3.0) : 0.0;
}

// For every output position along one axis: the first source position and `taps` weights
// (zero past the taps the position really has). `taps` is a multiple of 4: the SIMD passes take
// the weights two or four at a time.
struct AxisWeights {
    int taps = 0;
    std::vector<int32_t> first;
    std::vector<int16_t> weights; // outputs * taps
};

void toFixedPoint(const std::vector<double>& w, int16_t* out) {
    double sum = 0;
    for (double v : w)
        sum += v;
    int32_t total = 0;
    std::size_t largest = 0;
    for (std::size_t k = 0; k < w.size(); ++k) {
        out[k] = int16_t(std::lround(w[k] / sum * kWeightOne));
        total += out[k];
        if (out[k] > out[largest]) largest = k;
    }
    out[largest] = int16_t(out[largest] + (kWeightOne - total));
}

// Source pixel k covers [k, k + 1) and output pixel i covers [i * scale, (i + 1) * scale); the
// kernel is centred on the output pixel and, when reducing, widened by the reduction factor so
// that every source pixel contributes (no aliasing). The area kernel weighs each source pixel
// by the share of the output pixel it covers.
bool buildAxis(int in, int out, Kernel kernel, AxisWeights& axis) {
    const double scale = double(in) / double(out);
    const double widen = std::max(scale, 1.0);
    const double support =
        kernel == Kernel::Area ? 0.0 : (kernel == Kernel::Triangle ? 1.0 : 3.0) * widen;

    std::vector<int32_t> first(static_cast<std::size_t>(out)), count(static_cast<std::size_t>(out));
    int taps = 1;
    for (int i = 0; i < out; ++i) {
        int lo, hi;
        if (kernel == Kernel::Area) {
            lo = int(std::floor(i * scale));
            hi = int(std::ceil((i + 1) * scale));
        } else {
            const double center = (i + 0.5) * scale;
            lo = int(std::floor(center - support + 0.5));
            hi = int(std::floor(center + support + 0.5));
        }
        lo = std::clamp(lo, 0, in - 1);
        hi = std::clamp(hi, lo + 1, in);
        first[std::size_t(i)] = lo;
        count[std::size_t(i)] = hi - lo;
        taps = std::max(taps, hi - lo);
    }
    taps = (taps + 3) & ~3;
    // Sixteen-bit weights lose their meaning long before this; the cap only keeps an absurd
    // reduction (a picture millions of pixels long into one screen) from taking gigabytes.
    if (uint64_t(taps) * uint64_t(out) > kMostWeights) return false;

    axis.taps = taps;
    axis.first = std::move(first);
    axis.weights.assign(std::size_t(taps) * std::size_t(out), 0);
    std::vector<double> w;
    for (int i = 0; i < out; ++i) {
        const int lo = axis.first[std::size_t(i)], n = count[std::size_t(i)];
        w.assign(std::size_t(n), 0.0);
        double sum = 0;
        for (int k = 0; k < n; ++k) {
            const int s = lo + k;
            double v;
            if (kernel == Kernel::Area) {
                v = std::min(double(s + 1), (i + 1) * scale) - std::max(double(s), i * scale);
                v = std::max(v, 0.0);
            } else {
                v = kernelAt(kernel, (s + 0.5 - (i + 0.5) * scale) / widen);
            }
            w[std::size_t(k)] = v;
            sum += v;
        }
        if (!(sum > 1e-9)) { // nothing under the kernel: take the nearest pixel
            std::fill(w.begin(), w.end(), 0.0);
            const int nearest = std::clamp(int((i + 0.5) * scale), lo, lo + n - 1);
            w[std::size_t(nearest - lo)] = 1.0;
        }
        toFixedPoint(w, &axis.weights[std::size_t(i) * std::size_t(taps)]);
    }
    return true;
}

void verticalRowPlain(const uint8_t* const* rows, const int16_t* weights, const int32_t*, int taps,
                      uint8_t* out, std::size_t from, std::size_t bytes) {
    verticalTail(rows, weights, taps, out, from, bytes);
}

void horizontalRowPlain(const uint8_t* in, int inBytes, const AxisTable& axis, int outWidth,
                        uint8_t* out, int outBytes) {
    const int taps = axis.taps;
    for (int i = 0; i < outWidth; ++i, out += outBytes) {
        const uint8_t* s = in + std::size_t(axis.first[i]) * std::size_t(inBytes);
        const int16_t* w = axis.weights + std::size_t(i) * std::size_t(taps);
        int32_t sum[4] = {0, 0, 0, 0};
        for (int k = 0; k < taps; ++k, s += inBytes)
            for (int c = 0; c < inBytes; ++c)
                sum[c] += w[k] * s[c];
        for (int c = 0; c < std::min(inBytes, outBytes); ++c)
            out[c] = clampToByte(sum[c]);
        if (outBytes == 4 && inBytes == 3) out[3] = 255;
    }
}

std::atomic<int> simdLimit{kResamplerBest};

// Every level computes the same integers; the wider ones only do more at once.
RowKernels kernels() {
#ifdef VISTREL_X86
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const int level = simdLimit.load(std::memory_order_relaxed);
    if (level >= kResamplerBest && avx2) return avx2Kernels();
    if (level >= kResamplerSse2) return sse2Kernels();
#endif
    return {verticalRowPlain, horizontalRowPlain};
}

std::vector<int32_t> packPairs(const std::vector<int16_t>& weights) {
    std::vector<int32_t> pairs(weights.size() / 2);
    for (std::size_t p = 0; p < pairs.size(); ++p)
        pairs[p] = int32_t(uint32_t(uint16_t(weights[2 * p])) |
                           uint32_t(uint16_t(weights[2 * p + 1])) << 16);
    return pairs;
}

// Separable resampling, vertical pass first: for each output row the taps' source rows are
// combined into one full-width row (contiguous bytes, the SIMD-friendly pass over the large
// picture), which the horizontal pass then reduces into the output row. Only one intermediate
// row exists, so nothing large is allocated and the source is read once, in order.
bool resampleRows(uint8_t* dst, const Layout& to, const uint8_t* src, const Layout& from,
                  Kernel kernel) {
    AxisWeights across, down;
    if (!buildAxis(from.width, to.width, kernel, across) ||
        !buildAxis(from.height, to.height, kernel, down))
        return false;
    const std::vector<int32_t> acrossPairs = packPairs(across.weights);
    const std::vector<int32_t> downPairs = packPairs(down.weights);
    const AxisTable acrossTable{across.taps, across.first.data(), across.weights.data(),
                                acrossPairs.data()};

    const std::size_t rowBytes = std::size_t(from.width) * std::size_t(from.pixelBytes);
    // Room past the row for the horizontal pass's zero-weight taps and its 16-byte reads.
    LargeBuffer middle(rowBytes + std::size_t(across.taps) * 4 + 32);
    if (!middle) return false;
    std::vector<const uint8_t*> rows(std::size_t(down.taps));
    const RowKernels pass = kernels();
    for (int j = 0; j < to.height; ++j) {
        const int top = down.first[std::size_t(j)];
        for (int k = 0; k < down.taps; ++k) {
            // Taps past the last row have weight 0; any real row serves as their input.
            const int r = std::min(top + k, from.height - 1);
            rows[std::size_t(k)] = src + std::size_t(r) * from.rowSize;
        }
        const std::size_t w = std::size_t(j) * std::size_t(down.taps);
        pass.vertical(rows.data(), &down.weights[w], &downPairs[w / 2], down.taps, middle.data(), 0,
                      rowBytes);
        pass.horizontal(middle.data(), from.pixelBytes, acrossTable, to.width,
                        dst + std::size_t(j) * to.rowSize, to.pixelBytes);
    }
    return true;
}

// The weight tables are ordinary vectors: running out of memory for them is a failed resize,
// not an exception leaving the picture subsystem.
bool resample(uint8_t* dst, const Layout& to, const uint8_t* src, const Layout& from,
              Kernel kernel) {
    try {
        return resampleRows(dst, to, src, from, kernel);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

} // namespace resampling

using namespace resampling;

void limitResamplerSimd(int level) {
    simdLimit = level;
}

bool resizePicture(uint8_t* destinationPixels, const BitmapInfoHeader* destinationInfo,
                   const uint8_t* sourcePixels, const BitmapInfoHeader* sourceInfo,
                   ResizeFilter filter) {
    Layout to, from;
    if (!layoutOf(destinationInfo, destinationPixels, to) ||
        !layoutOf(sourceInfo, sourcePixels, from))
        return false;
    return resample(destinationPixels, to, sourcePixels, from,
                    filter == ResizeFilter::Lanczos3 ? Kernel::Lanczos3 : Kernel::Triangle);
}

bool averagePicture(const BitmapInfoHeader* destinationInfo, uint8_t* destinationPixels,
                    const BitmapInfoHeader* sourceInfo, const uint8_t* sourcePixels) {
    Layout to, from;
    if (!layoutOf(destinationInfo, destinationPixels, to) ||
        !layoutOf(sourceInfo, sourcePixels, from))
        return false;
    return resample(destinationPixels, to, sourcePixels, from, Kernel::Area);
}

bool convertPicture(uint8_t* destinationPixels, const BitmapInfoHeader* destinationInfo,
                    const uint8_t* sourcePixels, const BitmapInfoHeader* sourceInfo) {
    Layout to, from;
    if (!layoutOf(destinationInfo, destinationPixels, to) ||
        !layoutOf(sourceInfo, sourcePixels, from) || to.width != from.width ||
        to.height != from.height)
        return false;
    const int width = to.width;
    for (int y = 0; y < to.height; ++y) {
        const uint8_t* s = sourcePixels + std::size_t(y) * from.rowSize;
        uint8_t* d = destinationPixels + std::size_t(y) * to.rowSize;
        if (from.pixelBytes == to.pixelBytes) {
            std::memcpy(d, s, std::size_t(width) * std::size_t(to.pixelBytes));
        } else if (to.pixelBytes == 4) {
            // Four bytes read per pixel, the fourth (the next pixel's blue) replaced by alpha;
            // the row's last pixel is read byte by byte so that nothing past the row is touched.
            int x = 0;
            for (; x + 1 < width; ++x, s += 3, d += 4) {
                uint32_t pixel;
                std::memcpy(&pixel, s, 4);
                pixel |= 0xFF000000u;
                std::memcpy(d, &pixel, 4);
            }
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = 255;
        } else {
            for (int x = 0; x < width; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    }
    return true;
}

struct RowResampler::State {
    Layout to;
    uint8_t* destination = nullptr;
    int sourceWidth = 0, sourceHeight = 0, sourcePixelBytes = 0;
    AxisWeights across, down;
    std::vector<int32_t> acrossPairs, downPairs;
    RowKernels pass;
    // The last `down.taps` source rows, row r in slot r % taps: every destination row is written
    // as soon as its last tap has come, so the rows its first tap needs are still held.
    std::vector<uint8_t> ring;
    std::size_t slotBytes = 0;
    std::vector<uint8_t> middle;
    std::vector<const uint8_t*> rows;
    int received = 0; // source rows written so far
    int written = 0;  // destination rows

    uint8_t* slot(int r) { return ring.data() + std::size_t(r % down.taps) * slotBytes; }
    int lastTap(int j) const {
        return std::min(down.first[std::size_t(j)] + down.taps - 1, sourceHeight - 1);
    }
};

RowResampler::RowResampler() = default;
RowResampler::~RowResampler() = default;

bool RowResampler::begin(uint8_t* destinationPixels, const BitmapInfoHeader* destinationInfo,
                         int sourceWidth, int sourceHeight, int sourcePixelBytes) {
    state_.reset();
    try {
        auto s = std::make_unique<State>();
        if (!layoutOf(destinationInfo, destinationPixels, s->to) || s->to.pixelBytes != 4 ||
            sourceWidth <= 0 || sourceHeight <= 0 ||
            (sourcePixelBytes != 3 && sourcePixelBytes != 4))
            return false;
        if (!buildAxis(sourceWidth, s->to.width, Kernel::Triangle, s->across) ||
            !buildAxis(sourceHeight, s->to.height, Kernel::Triangle, s->down))
            return false;
        s->destination = destinationPixels;
        s->sourceWidth = sourceWidth;
        s->sourceHeight = sourceHeight;
        s->sourcePixelBytes = sourcePixelBytes;
        s->acrossPairs = packPairs(s->across.weights);
        s->downPairs = packPairs(s->down.weights);
        s->pass = kernels();
        const std::size_t rowBytes = std::size_t(sourceWidth) * std::size_t(sourcePixelBytes);
        // Slots 64-byte aligned, and room past the last for the vertical pass's wide reads.
        s->slotBytes = (rowBytes + 63) & ~std::size_t(63);
        s->ring.assign(s->slotBytes * std::size_t(s->down.taps) + 64, 0);
        // As resampleRows: room past the row for the horizontal pass's zero-weight taps.
        s->middle.assign(rowBytes + std::size_t(s->across.taps) * 4 + 32, 0);
        s->rows.resize(std::size_t(s->down.taps));
        state_ = std::move(s);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

uint8_t* RowResampler::nextRow() {
    if (!state_ || state_->received >= state_->sourceHeight) return nullptr;
    return state_->slot(state_->received);
}

void RowResampler::rowWritten() {
    if (!state_ || state_->received >= state_->sourceHeight) return;
    State& s = *state_;
    ++s.received;
    const std::size_t rowBytes = std::size_t(s.sourceWidth) * std::size_t(s.sourcePixelBytes);
    const AxisTable acrossTable{s.across.taps, s.across.first.data(), s.across.weights.data(),
                                s.acrossPairs.data()};
    for (; s.written < s.to.height && s.lastTap(s.written) < s.received; ++s.written) {
        const int j = s.written;
        const int top = s.down.first[std::size_t(j)];
        for (int k = 0; k < s.down.taps; ++k)
            s.rows[std::size_t(k)] = s.slot(std::min(top + k, s.sourceHeight - 1));
        const std::size_t w = std::size_t(j) * std::size_t(s.down.taps);
        s.pass.vertical(s.rows.data(), &s.down.weights[w], &s.downPairs[w / 2], s.down.taps,
                        s.middle.data(), 0, rowBytes);
        s.pass.horizontal(s.middle.data(), s.sourcePixelBytes, acrossTable, s.to.width,
                          s.destination + std::size_t(j) * s.to.rowSize, 4);
    }
}

} // namespace vistrel
