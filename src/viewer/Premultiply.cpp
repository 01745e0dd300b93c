#include "Premultiply.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vistrel {

namespace {

// x / 255 rounded down, exact for every x below 65536: x * 0x8081 >> 23.
inline unsigned divide255(unsigned x) {
    return (x * 0x8081u) >> 23;
}

} // namespace

void premultiplyRow(const uint8_t* from, uint8_t* to, int width, AlphaShown shown,
                    uint8_t backdrop) {
    // One formula for the three: s * a + k * (255 - a) + r, which stays below 65536, divided by
    // 255. Over the backdrop k is the backdrop and r rounds; alpha 255 then gives s exactly.
    const bool overBackdrop = shown == AlphaShown::OverBackdrop;
    const unsigned k = overBackdrop ? backdrop : 0, r = overBackdrop ? 127 : 0;
    const bool opaque = shown != AlphaShown::Premultiplied;
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i kk = _mm_set1_epi16(short(k));
    const __m128i rr = _mm_set1_epi16(short(r));
    const __m128i magic = _mm_set1_epi16(short(0x8081));
    // The alpha lanes of two pixels widened to 16 bits.
    const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    auto half = [&](__m128i s) {
        const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
        __m128i n = _mm_add_epi16(_mm_mullo_epi16(s, a),
                                  _mm_add_epi16(_mm_mullo_epi16(kk, _mm_sub_epi16(full, a)), rr));
        __m128i q = _mm_srli_epi16(_mm_mulhi_epu16(n, magic), 7);
        const __m128i alpha = opaque ? full : a;
        q = _mm_or_si128(_mm_andnot_si128(alphaLanes, q), _mm_and_si128(alphaLanes, alpha));
        // Over the backdrop alpha 0 stays wholly transparent.
        if (overBackdrop) q = _mm_andnot_si128(_mm_cmpeq_epi16(a, zero), q);
        return q;
    };
    for (; x + 4 <= width; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4 * x));
        const __m128i low = half(_mm_unpacklo_epi8(pixels, zero));
        const __m128i high = half(_mm_unpackhi_epi8(pixels, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 4 * x), _mm_packus_epi16(low, high));
    }
#endif
    for (; x < width; ++x) {
        const uint8_t* s = from + 4 * x;
        uint8_t* d = to + 4 * x;
        const unsigned a = s[3];
        if (overBackdrop && a == 0) {
            d[0] = d[1] = d[2] = d[3] = 0;
            continue;
        }
        for (int c = 0; c < 3; ++c)
            d[c] = uint8_t(divide255(s[c] * a + k * (255 - a) + r));
        d[3] = uint8_t(opaque ? 255 : a);
    }
}

} // namespace vistrel
