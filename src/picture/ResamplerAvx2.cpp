// The resampler's row kernels on AVX2. This file is compiled for AVX2 and runs only where the
// processor has it (the resampler checks): it defines nothing but what ResamplerKernels.h keeps
// in an anonymous namespace and the one entry point, and uses no inline function of a library.
#include "ResamplerKernels.h"

namespace vistrel::resampling {

namespace {

struct Avx2 {
    using Word = __m256i;
    static constexpr std::size_t kBytes = 32;
    static Word zero() { return _mm256_setzero_si256(); }
    static Word set1(int32_t v) { return _mm256_set1_epi32(v); }
    static Word load(const uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const Word*>(p));
    }
    static void store(uint8_t* p, Word v) { _mm256_storeu_si256(reinterpret_cast<Word*>(p), v); }
    static Word unpackLow8(Word a, Word b) { return _mm256_unpacklo_epi8(a, b); }
    static Word unpackHigh8(Word a, Word b) { return _mm256_unpackhi_epi8(a, b); }
    static Word madd16(Word a, Word b) { return _mm256_madd_epi16(a, b); }
    static Word add32(Word a, Word b) { return _mm256_add_epi32(a, b); }
    static Word shift32(Word a) { return _mm256_srai_epi32(a, kWeightBits); }
    static Word pack16(Word a, Word b) { return _mm256_packs_epi32(a, b); }
    static Word packBytes(Word a, Word b) { return _mm256_packus_epi16(a, b); }
};

// 32 bytes at a time; what is left goes to the SSE2 kernel.
void verticalRow(const uint8_t* const* rows, const int16_t* weights, const int32_t* pairs, int taps,
                 uint8_t* out, std::size_t from, std::size_t bytes) {
    const std::size_t x = verticalVectors<Avx2>(rows, pairs, taps, out, from, bytes);
    sse2VerticalRow(rows, weights, pairs, taps, out, x, bytes);
}

// Four taps at a time: one 16-byte read holds four source pixels (3 or 4 bytes each), a byte
// shuffle pairs them up as the multiply-add wants them, and the two 128-bit halves take a
// weight pair each. A 3-byte pixel's missing fourth channel is shuffled in as zero.
void horizontalRow(const uint8_t* in, int inBytes, const AxisTable& axis, int outWidth,
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
        const uint8_t* s = in + std::size_t(axis.first[i]) * std::size_t(inBytes);
        const int32_t* w = axis.pairs + std::size_t(i) * std::size_t(taps / 2);
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

} // namespace

RowKernels avx2Kernels() {
    return {verticalRow, horizontalRow};
}

} // namespace vistrel::resampling
