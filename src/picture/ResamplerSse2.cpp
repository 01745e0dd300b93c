// The resampler's row kernels on SSE2, which every x86-64 processor has.
#include "ResamplerKernels.h"

#include <cstring>

namespace vistrel::resampling {

namespace {

struct Sse2 {
    using Word = __m128i;
    static constexpr std::size_t kBytes = 16;
    static Word zero() { return _mm_setzero_si128(); }
    static Word set1(int32_t v) { return _mm_set1_epi32(v); }
    static Word load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const Word*>(p)); }
    static void store(uint8_t* p, Word v) { _mm_storeu_si128(reinterpret_cast<Word*>(p), v); }
    static Word unpackLow8(Word a, Word b) { return _mm_unpacklo_epi8(a, b); }
    static Word unpackHigh8(Word a, Word b) { return _mm_unpackhi_epi8(a, b); }
    static Word madd16(Word a, Word b) { return _mm_madd_epi16(a, b); }
    static Word add32(Word a, Word b) { return _mm_add_epi32(a, b); }
    static Word shift32(Word a) { return _mm_srai_epi32(a, kWeightBits); }
    static Word pack16(Word a, Word b) { return _mm_packs_epi32(a, b); }
    static Word packBytes(Word a, Word b) { return _mm_packus_epi16(a, b); }
};

// One output pixel: two source pixels' bytes interleaved and widened, times a weight pair, for
// all four channels at once. A 3-byte pixel is read as 4 bytes; the fourth lane is dropped.
void horizontalRow(const uint8_t* in, int inBytes, const AxisTable& axis, int outWidth,
                   uint8_t* out, int outBytes) {
    const __m128i zero = _mm_setzero_si128();
    const int taps = axis.taps;
    const std::size_t step = std::size_t(inBytes);
    const bool opaque = inBytes == 3 && outBytes == 4;
    for (int i = 0; i < outWidth; ++i, out += outBytes) {
        const uint8_t* s = in + std::size_t(axis.first[i]) * step;
        const int32_t* w = axis.pairs + std::size_t(i) * std::size_t(taps / 2);
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

} // namespace

void sse2VerticalRow(const uint8_t* const* rows, const int16_t* weights, const int32_t* pairs,
                     int taps, uint8_t* out, std::size_t from, std::size_t bytes) {
    const std::size_t x = verticalVectors<Sse2>(rows, pairs, taps, out, from, bytes);
    verticalTail(rows, weights, taps, out, x, bytes);
}

RowKernels sse2Kernels() {
    return {sse2VerticalRow, horizontalRow};
}

} // namespace vistrel::resampling
