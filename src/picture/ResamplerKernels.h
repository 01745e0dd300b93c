// The resampler's row kernels: what the weights code hands them, and the parts the plain, SSE2
// and AVX2 kernels share. Internal to the resampler.
//
// NOTE: the AVX2 kernels live in a file compiled for AVX2. Everything this header defines sits in
// an anonymous namespace, so that file gets copies of its own: the linker can never hand an AVX2
// build of a shared inline function to code that runs on a processor without AVX2.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VISTREL_X86 1
#endif

namespace vistrel::resampling {

// Weights are fixed point with this many fraction bits; each output's weights add up to exactly
// 1 << kWeightBits, so a flat area stays flat. 14 bits keep a 255 times a weight pair inside
// the 16-bit lanes the multiply-add reads, and any sum of products inside 32 bits.
inline constexpr int kWeightBits = 14;
inline constexpr int32_t kWeightOne = 1 << kWeightBits;
inline constexpr int32_t kRounding = 1 << (kWeightBits - 1);

// One axis's weights: for output i, `taps` weights from source position first[i]; `pairs` holds
// them two by two as the (low, high) 16-bit halves of one word. `taps` is a multiple of 4.
struct AxisTable {
    int taps = 0;
    const int32_t* first = nullptr;
    const int16_t* weights = nullptr;
    const int32_t* pairs = nullptr;
};

// Vertical pass: out[x] = sum over taps of weight[k] * rows[k][x] for bytes [from, bytes). The
// pass does not care what the bytes are.
using VerticalRow = void (*)(const uint8_t* const* rows, const int16_t* weights,
                             const int32_t* pairs, int taps, uint8_t* out, std::size_t from,
                             std::size_t bytes);
// Horizontal pass over one row of `inBytes`-byte pixels into `outBytes`-byte pixels. The input
// row has room for `taps` pixels and 16 bytes past its end (their weights are 0).
using HorizontalRow = void (*)(const uint8_t* in, int inBytes, const AxisTable& axis, int outWidth,
                               uint8_t* out, int outBytes);

struct RowKernels {
    VerticalRow vertical;
    HorizontalRow horizontal;
};

// Every set computes the same integers; the wider ones only do more at once.
RowKernels plainKernels();
#ifdef VISTREL_X86
RowKernels sse2Kernels();
RowKernels avx2Kernels(); // only on a processor that has AVX2
// The SSE2 vertical pass, with which the AVX2 one finishes a row.
void sse2VerticalRow(const uint8_t* const* rows, const int16_t* weights, const int32_t* pairs,
                     int taps, uint8_t* out, std::size_t from, std::size_t bytes);
#endif

namespace {

inline uint8_t clampToByte(int32_t sum) {
    const int32_t v = (sum + kRounding) >> kWeightBits;
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline void verticalTail(const uint8_t* const* rows, const int16_t* weights, int taps, uint8_t* out,
                         std::size_t from, std::size_t bytes) {
    for (std::size_t x = from; x < bytes; ++x) {
        int32_t sum = 0;
        for (int k = 0; k < taps; ++k)
            sum += weights[k] * rows[k][x];
        out[x] = clampToByte(sum);
    }
}

#ifdef VISTREL_X86

// The vertical pass on vectors of V::kBytes bytes: two rows' bytes interleaved and widened to 16
// bits, times a weight pair, one multiply-add per 4 bytes and pair of taps. Every step stays
// inside a 128-bit lane, so the bytes come out in the order they went in. Returns the first byte
// not computed (less than one vector is left).
template <class V>
std::size_t verticalVectors(const uint8_t* const* rows, const int32_t* pairs, int taps,
                            uint8_t* out, std::size_t from, std::size_t bytes) {
    using W = typename V::Word;
    const W zero = V::zero();
    const W rounding = V::set1(kRounding);
    std::size_t x = from;
    for (; x + V::kBytes <= bytes; x += V::kBytes) {
        W a0 = zero, a1 = zero, a2 = zero, a3 = zero;
        for (int k = 0; k < taps; k += 2) {
            const W w = V::set1(pairs[k / 2]);
            const W r0 = V::load(rows[k] + x), r1 = V::load(rows[k + 1] + x);
            const W lo = V::unpackLow8(r0, r1), hi = V::unpackHigh8(r0, r1);
            a0 = V::add32(a0, V::madd16(V::unpackLow8(lo, zero), w));
            a1 = V::add32(a1, V::madd16(V::unpackHigh8(lo, zero), w));
            a2 = V::add32(a2, V::madd16(V::unpackLow8(hi, zero), w));
            a3 = V::add32(a3, V::madd16(V::unpackHigh8(hi, zero), w));
        }
        a0 = V::shift32(V::add32(a0, rounding));
        a1 = V::shift32(V::add32(a1, rounding));
        a2 = V::shift32(V::add32(a2, rounding));
        a3 = V::shift32(V::add32(a3, rounding));
        V::store(out + x, V::packBytes(V::pack16(a0, a1), V::pack16(a2, a3)));
    }
    return x;
}

// Rounds four channel sums (blue, green, red, alpha) to bytes and stores 3 or 4 of them.
inline void storePixel(__m128i sum, bool opaque, uint8_t* out, int outBytes) {
    sum = _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(kRounding)), kWeightBits);
    const __m128i zero = _mm_setzero_si128();
    uint32_t pixel =
        uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(sum, zero), zero)));
    if (opaque) pixel |= 0xFF000000u;
    out[0] = uint8_t(pixel);
    out[1] = uint8_t(pixel >> 8);
    out[2] = uint8_t(pixel >> 16);
    if (outBytes == 4) out[3] = uint8_t(pixel >> 24);
}

#endif

} // namespace

} // namespace vistrel::resampling
