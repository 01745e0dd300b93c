#include "Resampler.h"

#include "LargeBuffer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VISTREL_X86 1
#endif

namespace vistrel {

namespace {

// Weights are fixed point with this many fraction bits; each output's weights add up to exactly
// 1 << kWeightBits, so a flat area stays flat. 14 bits keep a 255 times a weight pair inside
// the 16-bit lanes the multiply-add reads, and any sum of products inside 32 bits.
constexpr int kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;
constexpr int32_t kRounding = 1 << (kWeightBits - 1);
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
    const double px = M_PI * x;
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

uint8_t clampToByte(int32_t sum) {
    const int32_t v = (sum + kRounding) >> kWeightBits;
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Vertical pass: out[x] = sum over taps of weight[k] * rows[k][x], for `bytes` bytes. The pass
// does not care what the bytes are; `pairs` holds the weights two by two as (low, high) 16-bit
// halves of one word.
// Bytes [from, bytes) are computed.
using VerticalRow = void (*)(const uint8_t* const* rows, const int16_t* weights,
                             const int32_t* pairs, int taps, uint8_t* out, std::size_t from,
                             std::size_t bytes);

void verticalTail(const uint8_t* const* rows, const int16_t* weights, int taps, uint8_t* out,
                  std::size_t from, std::size_t bytes) {
    for (std::size_t x = from; x < bytes; ++x) {
        int32_t sum = 0;
        for (int k = 0; k < taps; ++k)
            sum += weights[k] * rows[k][x];
        out[x] = clampToByte(sum);
    }
}

void verticalRowPlain(const uint8_t* const* rows, const int16_t* weights, const int32_t*, int taps,
                      uint8_t* out, std::size_t from, std::size_t bytes) {
    verticalTail(rows, weights, taps, out, from, bytes);
}

// Horizontal pass over one row of `inBytes`-byte pixels into `outBytes`-byte pixels. The input
// row has room for `taps` pixels past its end (their weights are 0).
using HorizontalRow = void (*)(const uint8_t* in, int inBytes, const AxisWeights& axis,
                               const int32_t* pairs, int outWidth, uint8_t* out, int outBytes);

void horizontalRowPlain(const uint8_t* in, int inBytes, const AxisWeights& axis, const int32_t*,
                        int outWidth, uint8_t* out, int outBytes) {
    const int taps = axis.taps;
    for (int i = 0; i < outWidth; ++i, out += outBytes) {
        const uint8_t* s = in + std::size_t(axis.first[std::size_t(i)]) * std::size_t(inBytes);
        const int16_t* w = &axis.weights[std::size_t(i) * std::size_t(taps)];
        int32_t sum[4] = {0, 0, 0, 0};
        for (int k = 0; k < taps; ++k, s += inBytes)
            for (int c = 0; c < inBytes; ++c)
                sum[c] += w[k] * s[c];
        for (int c = 0; c < std::min(inBytes, outBytes); ++c)
            out[c] = clampToByte(sum[c]);
        if (outBytes == 4 && inBytes == 3) out[3] = 255;
    }
}

#ifdef VISTREL_X86

// Two rows' bytes interleaved and widened to 16 bits, times a weight pair: 16 bytes of output
// from one multiply-add per 4 bytes and pair of taps.
void verticalRowSse2(const uint8_t* const* rows, const int16_t* weights, const int32_t* pairs,
                     int taps, uint8_t* out, std::size_t from, std::size_t bytes) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i rounding = _mm_set1_epi32(kRounding);
    std::size_t x = from;
    for (; x + 16 <= bytes; x += 16) {
        __m128i a0 = zero, a1 = zero, a2 = zero, a3 = zero;
        for (int k = 0; k < taps; k += 2) {
            const __m128i w = _mm_set1_epi32(pairs[k / 2]);
            const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + x));
            const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k + 1] + x));
            const __m128i lo = _mm_unpacklo_epi8(r0, r1), hi = _mm_unpackhi_epi8(r0, r1);
            a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w));
            a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w));
            a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w));
            a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w));
        }
        a0 = _mm_srai_epi32(_mm_add_epi32(a0, rounding), kWeightBits);
        a1 = _mm_srai_epi32(_mm_add_epi32(a1, rounding), kWeightBits);
        a2 = _mm_srai_epi32(_mm_add_epi32(a2, rounding), kWeightBits);
        a3 = _mm_srai_epi32(_mm_add_epi32(a3, rounding), kWeightBits);
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(a0, a1), _mm_packs_epi32(a2, a3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), packed);
    }
    verticalTail(rows, weights, taps, out, x, bytes);
}

// The same 32 bytes at a time. Every step stays inside its 128-bit lane, so the bytes come out
// in the order they went in.
__attribute__((target("avx2"))) void verticalRowAvx2(const uint8_t* const* rows,
                                                     const int16_t* weights, const int32_t* pairs,
                                                     int taps, uint8_t* out, std::size_t from,
                                                     std::size_t bytes) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i rounding = _mm256_set1_epi32(kRounding);
    std::size_t x = from;
    for (; x + 32 <= bytes; x += 32) {
        __m256i a0 = zero, a1 = zero, a2 = zero, a3 = zero;
        for (int k = 0; k < taps; k += 2) {
            const __m256i w = _mm256_set1_epi32(pairs[k / 2]);
            const __m256i r0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + x));
            const __m256i r1 =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k + 1] + x));
            const __m256i lo = _mm256_unpacklo_epi8(r0, r1), hi = _mm256_unpackhi_epi8(r0, r1);
            a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), w));
            a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), w));
            a2 = _mm256_add_epi32(a2, _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), w));
            a3 = _mm256_add_epi32(a3, _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), w));
        }
        a0 = _mm256_srai_epi32(_mm256_add_epi32(a0, rounding), kWeightBits);
        a1 = _mm256_srai_epi32(_mm256_add_epi32(a1, rounding), kWeightBits);
        a2 = _mm256_srai_epi32(_mm256_add_epi32(a2, rounding), kWeightBits);
        a3 = _mm256_srai_epi32(_mm256_add_epi32(a3, rounding), kWeightBits);
        const __m256i packed =
            _mm256_packus_epi16(_mm256_packs_epi32(a0, a1), _mm256_packs_epi32(a2, a3));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), packed);
    }
    verticalRowSse2(rows, weights, pairs, taps, out, x, bytes);
}

// Rounds four channel sums (blue, green, red, alpha) to bytes and stores 3 or 4 of them.
inline void storePixel(__m128i sum, bool opaque, uint8_t* out, int outBytes) {
    sum = _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(kRounding)), kWeightBits);
    const __m128i zero = _mm_setzero_si128();
    uint32_t pixel =
        uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(sum, zero), zero)));
    if (opaque) pixel |= 0xFF000000u;
    if (outBytes == 4) {
        std::memcpy(out, &pixel, 4);
    } else {
        std::memcpy(out, &pixel, 2);
        out[2] = uint8_t(pixel >> 16);
    }
}

// One output pixel: two source pixels' bytes interleaved and widened, times a weight pair, for
// all four channels at once. A 3-byte pixel is read as 4 bytes; the fourth lane is dropped.
void horizontalRowSse2(const uint8_t* in, int inBytes, const AxisWeights& axis,
                       const int32_t* pairs, int outWidth, uint8_t* out, int outBytes) {
    const __m128i zero = _mm_setzero_si128();
    const int taps = axis.taps;
    const std::size_t step = std::size_t(inBytes);
    const bool opaque = inBytes == 3 && outBytes == 4;
    for (int i = 0; i < outWidth; ++i, out += outBytes) {
        const uint8_t* s = in + std::size_t(axis.first[std::size_t(i)]) * step;
        const int32_t* w = pairs + std::size_t(i) * std::size_t(taps / 2);
        __m128i sum = zero;
        for (int k = 0; k < taps; k += 2, s += 2 * step) {
            int32_t p0, p1;
            std::memcpy(&p0, s, 4);
            std::memcpy(&p1, s + step, 4);
            const __m128i both = _mm_unpacklo_epi8(_mm_cvtsi32_si128(p0), _mm_cvtsi32_si128(p1));
            sum = _mm_add_epi32(
                sum, _mm_madd_epi16(_mm_unpacklo_epi8(both, zero), _mm_set1_epi32(w[k / 2])));
        }
        storePixel(sum, opaque, out, outBytes);
    }
}

// Four taps at a time: one 16-byte read holds four source pixels (3 or 4 bytes each), a byte
// shuffle pairs them up as the multiply-add wants them, and the two 128-bit halves take a
// weight pair each. A 3-byte pixel's missing fourth channel is shuffled in as zero.
__attribute__((target("avx2"))) void horizontalRowAvx2(const uint8_t* in, int inBytes,
                                                       const AxisWeights& axis,
                                                       const int32_t* pairs, int outWidth,
                                                       uint8_t* out, int outBytes) {
    const __m128i order = inBytes == 4 ? _mm_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, //
                                                       8, 12, 9, 13, 10, 14, 11, 15)
                                       : _mm_setr_epi8(0, 3, 1, 4, 2, 5, -1, -1, //
                                                       6, 9, 7, 10, 8, 11, -1, -1);
    const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const int taps = axis.taps;
    const std::size_t step = std::size_t(inBytes) * 4;
    const bool opaque = inBytes == 3 && outBytes == 4;
    for (int i = 0; i < outWidth; ++i, out += outBytes) {
        const uint8_t* s = in + std::size_t(axis.first[std::size_t(i)]) * std::size_t(inBytes);
        const int32_t* w = pairs + std::size_t(i) * std::size_t(taps / 2);
        __m256i sum = _mm256_setzero_si256();
        for (int k = 0; k < taps; k += 4, s += step, w += 2) {
            const __m128i four =
                _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), order);
            const __m256i weights = _mm256_permutevar8x32_epi32(
                _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(w))),
                spread);
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(_mm256_cvtepu8_epi16(four), weights));
        }
        storePixel(_mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1)),
                   opaque, out, outBytes);
    }
}

#endif

struct Passes {
    VerticalRow vertical = verticalRowPlain;
    HorizontalRow horizontal = horizontalRowPlain;
};

std::atomic<int> simdLimit{kResamplerBest};

// Every level computes the same integers; the wider ones only do more at once.
Passes passes() {
    Passes chosen;
#ifdef VISTREL_X86
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const int level = simdLimit.load(std::memory_order_relaxed);
    if (level >= kResamplerSse2) {
        chosen.vertical = verticalRowSse2;
        chosen.horizontal = horizontalRowSse2;
    }
    if (level >= kResamplerBest && avx2) {
        chosen.vertical = verticalRowAvx2;
        chosen.horizontal = horizontalRowAvx2;
    }
#endif
    return chosen;
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

    const std::size_t rowBytes = std::size_t(from.width) * std::size_t(from.pixelBytes);
    // Room past the row for the horizontal pass's zero-weight taps and its 16-byte reads.
    LargeBuffer middle(rowBytes + std::size_t(across.taps) * 4 + 32);
    if (!middle) return false;
    std::vector<const uint8_t*> rows(std::size_t(down.taps));
    const Passes pass = passes();
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
        pass.horizontal(middle.data(), from.pixelBytes, across, acrossPairs.data(), to.width,
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

} // namespace vistrel
