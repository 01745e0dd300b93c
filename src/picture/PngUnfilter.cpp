#include "PngUnfilter.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vistrel {

namespace {

enum Filter : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// The Paeth predictor as the format defines it: the one of left (a), above (b) and upper-left
// (c) closest to a + b - c, ties going to a, then b.
inline uint8_t paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// The first `bpp` bytes have no left neighbour (it counts as 0): Sub leaves them, Average adds
// half the byte above, Paeth the byte above.
void sub(uint8_t* row, std::size_t length, unsigned bpp) {
    for (std::size_t i = bpp; i < length; ++i)
        row[i] = uint8_t(row[i] + row[i - bpp]);
}

void up(uint8_t* row, const uint8_t* above, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        row[i] = uint8_t(row[i] + above[i]);
}

void average(uint8_t* row, const uint8_t* above, std::size_t length, unsigned bpp) {
    for (std::size_t i = 0; i < bpp && i < length; ++i)
        row[i] = uint8_t(row[i] + (above[i] >> 1));
    for (std::size_t i = bpp; i < length; ++i)
        row[i] = uint8_t(row[i] + ((row[i - bpp] + above[i]) >> 1));
}

void paethRow(uint8_t* row, const uint8_t* above, std::size_t length, unsigned bpp) {
    for (std::size_t i = 0; i < bpp && i < length; ++i)
        row[i] = uint8_t(row[i] + above[i]);
    for (std::size_t i = bpp; i < length; ++i)
        row[i] = uint8_t(row[i] + paeth(row[i - bpp], above[i], above[i - bpp]));
}

#if defined(__SSE2__)
// Three- and four-byte pixels (8-bit RGB and RGBA, the common photographs) a pixel at a time in
// 16-bit lanes: the left pixel each step depends on is the one just decoded, so the work within
// a pixel is what runs side by side.

template <unsigned kBytes> __m128i load(const uint8_t* p) {
    uint32_t v = 0;
    std::memcpy(&v, p, kBytes);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(v)), _mm_setzero_si128());
}

template <unsigned kBytes> void store(uint8_t* p, __m128i lanes) {
    const auto v = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes)));
    std::memcpy(p, &v, kBytes);
}

__m128i absolute(__m128i x) {
    return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x));
}

__m128i select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

template <unsigned kBytes> void subPixels(uint8_t* row, std::size_t length) {
    const __m128i kLowBytes = _mm_set1_epi16(0xFF);
    __m128i a = _mm_setzero_si128();
    for (std::size_t i = 0; i + kBytes <= length; i += kBytes) {
        a = _mm_and_si128(_mm_add_epi16(load<kBytes>(row + i), a), kLowBytes);
        store<kBytes>(row + i, a);
    }
}

template <unsigned kBytes>
void averagePixels(uint8_t* row, const uint8_t* above, std::size_t length) {
    const __m128i kLowBytes = _mm_set1_epi16(0xFF);
    __m128i a = _mm_setzero_si128();
    for (std::size_t i = 0; i + kBytes <= length; i += kBytes) {
        const __m128i b = load<kBytes>(above + i);
        const __m128i half = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
        a = _mm_and_si128(_mm_add_epi16(load<kBytes>(row + i), half), kLowBytes);
        store<kBytes>(row + i, a);
    }
}

template <unsigned kBytes>
void paethPixels(uint8_t* row, const uint8_t* above, std::size_t length) {
    const __m128i kLowBytes = _mm_set1_epi16(0xFF);
    __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
    for (std::size_t i = 0; i + kBytes <= length; i += kBytes) {
        const __m128i b = load<kBytes>(above + i);
        const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
        const __m128i pa = absolute(bc), pb = absolute(ac), pc = absolute(_mm_add_epi16(bc, ac));
        const __m128i smallest = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
        const __m128i predicted =
            select(_mm_cmpeq_epi16(smallest, pa), a, select(_mm_cmpeq_epi16(smallest, pb), b, c));
        a = _mm_and_si128(_mm_add_epi16(load<kBytes>(row + i), predicted), kLowBytes);
        store<kBytes>(row + i, a);
        c = b;
    }
}

// Whole pixels only: a row's length is a multiple of its pixel size for these depths.
bool unfilterPixels(uint8_t filter, uint8_t* row, const uint8_t* above, std::size_t length,
                    unsigned bpp) {
    if (bpp == 4) {
        if (filter == kSub) subPixels<4>(row, length);
        if (filter == kAverage) averagePixels<4>(row, above, length);
        if (filter == kPaeth) paethPixels<4>(row, above, length);
    } else {
        if (filter == kSub) subPixels<3>(row, length);
        if (filter == kAverage) averagePixels<3>(row, above, length);
        if (filter == kPaeth) paethPixels<3>(row, above, length);
    }
    return true;
}
#endif

} // namespace

bool unfilterRow(uint8_t filter, uint8_t* row, const uint8_t* above, std::size_t length,
                 unsigned bpp) {
    if (filter > kPaeth) return false;
    if (filter == kNone) return true;
    if (!above) {
        // The first row: the row above counts as zeros, so Up changes nothing, and Paeth
        // always predicts the left byte, as Sub does.
        if (filter == kUp) return true;
        if (filter == kAverage) {
            for (std::size_t i = bpp; i < length; ++i)
                row[i] = uint8_t(row[i] + (row[i - bpp] >> 1));
            return true;
        }
        sub(row, length, bpp);
        return true;
    }
    if (filter == kUp) {
        up(row, above, length);
        return true;
    }
#if defined(__SSE2__)
    if ((bpp == 3 || bpp == 4) && length % bpp == 0)
        return unfilterPixels(filter, row, above, length, bpp);
#endif
    if (filter == kSub) sub(row, length, bpp);
    if (filter == kAverage) average(row, above, length, bpp);
    if (filter == kPaeth) paethRow(row, above, length, bpp);
    return true;
}

} // namespace vistrel
