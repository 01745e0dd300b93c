// Blend functions of the layer blend modes and the row loop that draws a source row over a canvas
// row. The separable modes work channel by channel; hue, saturation, colour,
// luminosity, darker colour and lighter colour work on the whole colour, with luminosity
// 0.3 R + 0.59 G + 0.11 B.
#include "psd_blend_rows.h"

#include <algorithm>
#include <cmath>

namespace {

// Every function here computes all of its cases and picks one with a conditional expression, so
// that the compiler turns the row loops into vector code (a case that branches cannot be run for
// four pixels at once). Each case is the same expression, in the same order, as its scalar form:
// the result is the same to the bit. The picks spell out std::min and std::max as they are
// defined: min(a, b) is b < a ? b : a.
inline float lesser(float a, float b) {
    return b < a ? b : a;
}
inline float greater(float a, float b) {
    return a < b ? b : a;
}
inline float clamp01(float v) {
    return lesser(1.0f, greater(0.0f, v));
}

// Channel functions of the separable modes: b is the backdrop, s the source.
inline float screen(float b, float s) {
    return b + s - b * s;
}
inline float color_dodge(float b, float s) {
    const float r = s >= 1.0f ? 1.0f : lesser(1.0f, b / (1.0f - s));
    return b <= 0.0f ? 0.0f : r;
}
inline float color_burn(float b, float s) {
    const float r = s <= 0.0f ? 0.0f : 1.0f - lesser(1.0f, (1.0f - b) / s);
    return b >= 1.0f ? 1.0f : r;
}
inline float hard_light(float b, float s) {
    return s <= 0.5f ? b * 2.0f * s : screen(b, 2.0f * s - 1.0f);
}
inline float soft_light(float b, float s) {
    const float darker = b - (1.0f - 2.0f * s) * b * (1.0f - b);
    const float d = b <= 0.25f ? ((16.0f * b - 12.0f) * b + 4.0f) * b : std::sqrt(b);
    return s <= 0.5f ? darker : b + (2.0f * s - 1.0f) * (d - b);
}

inline float separable(PsdBlendMode mode, float b, float s) {
    switch (mode) {
    case PSD_BLEND_DARKEN:
        return lesser(b, s);
    case PSD_BLEND_MULTIPLY:
        return b * s;
    case PSD_BLEND_COLOR_BURN:
        return color_burn(b, s);
    case PSD_BLEND_LINEAR_BURN:
        return greater(0.0f, b + s - 1.0f);
    case PSD_BLEND_LIGHTEN:
        return greater(b, s);
    case PSD_BLEND_SCREEN:
        return screen(b, s);
    case PSD_BLEND_COLOR_DODGE:
        return color_dodge(b, s);
    case PSD_BLEND_LINEAR_DODGE:
        return lesser(1.0f, b + s);
    case PSD_BLEND_OVERLAY:
        return hard_light(s, b);
    case PSD_BLEND_SOFT_LIGHT:
        return soft_light(b, s);
    case PSD_BLEND_HARD_LIGHT:
        return hard_light(b, s);
    case PSD_BLEND_VIVID_LIGHT:
        return s <= 0.5f ? color_burn(b, 2.0f * s) : color_dodge(b, 2.0f * s - 1.0f);
    case PSD_BLEND_LINEAR_LIGHT:
        return clamp01(b + 2.0f * s - 1.0f);
    case PSD_BLEND_PIN_LIGHT:
        return s <= 0.5f ? lesser(b, 2.0f * s) : greater(b, 2.0f * s - 1.0f);
    case PSD_BLEND_HARD_MIX:
        // Samples that sum to one exactly (x/255 and (255-x)/255) must not fall short by rounding.
        return b + s >= 1.0f - 1e-5f ? 1.0f : 0.0f;
    case PSD_BLEND_DIFFERENCE:
        return std::fabs(b - s);
    case PSD_BLEND_EXCLUSION:
        return b + s - 2.0f * b * s;
    case PSD_BLEND_SUBTRACT:
        return greater(0.0f, b - s);
    case PSD_BLEND_DIVIDE: {
        const float zero = b <= 0.0f ? 0.0f : 1.0f;
        return s <= 0.0f ? zero : lesser(1.0f, b / s);
    }
    default: // normal, dissolve, pass through
        return s;
    }
}

inline float lum(const float c[3]) {
    return 0.3f * c[0] + 0.59f * c[1] + 0.11f * c[2];
}

// The first smallest and the first largest of three, as std::min and std::max of a list pick.
inline float least(const float c[3]) {
    return lesser(lesser(c[0], c[1]), c[2]);
}
inline float most(const float c[3]) {
    return greater(greater(c[0], c[1]), c[2]);
}

// Moves the colour into 0..1 along the line to its own luminosity.
inline void clip_color(float c[3]) {
    const float l = lum(c);
    const float low = least(c);
    const float high = most(c);
    // Both halves of each test are made (& rather than &&): a test that stops at its first half
    // is a branch, and keeps the loop off vectors.
    const bool below = (low < 0.0f) & (l - low > 0.0f);
    const bool above = (high > 1.0f) & (high - l > 0.0f);
    for (int i = 0; i < 3; ++i) {
        const float raised = l + (c[i] - l) * l / (l - low);
        c[i] = below ? raised : c[i];
        const float lowered = l + (c[i] - l) * (1.0f - l) / (high - l);
        c[i] = clamp01(above ? lowered : c[i]);
    }
}

inline void set_lum(const float c[3], float l, float out[3]) {
    const float d = l - lum(c);
    for (int i = 0; i < 3; ++i)
        out[i] = c[i] + d;
    clip_color(out);
}

float sat(const float c[3]) {
    return most(c) - least(c);
}

// The colour's hue with saturation s: its largest channel becomes s, its smallest 0.
void set_sat(const float c[3], float s, float out[3]) {
    int high = 0, low = 0;
    for (int i = 1; i < 3; ++i) {
        if (c[i] > c[high]) high = i;
        if (c[i] < c[low]) low = i;
    }
    if (high == low) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    const int mid = 3 - high - low;
    const float range = c[high] - c[low];
    out[mid] = (c[mid] - c[low]) * s / range;
    out[high] = s;
    out[low] = 0.0f;
}

constexpr bool is_separable(PsdBlendMode mode) {
    switch (mode) {
    case PSD_BLEND_HUE:
    case PSD_BLEND_SATURATION:
    case PSD_BLEND_COLOR:
    case PSD_BLEND_LUMINOSITY:
    case PSD_BLEND_DARKER_COLOR:
    case PSD_BLEND_LIGHTER_COLOR:
        return false;
    default:
        return true;
    }
}

void non_separable(PsdBlendMode mode, const float b[3], const float s[3], float out[3]) {
    float t[3];
    switch (mode) {
    case PSD_BLEND_HUE:
        set_sat(s, sat(b), t);
        set_lum(t, lum(b), out);
        break;
    case PSD_BLEND_SATURATION:
        set_sat(b, sat(s), t);
        set_lum(t, lum(b), out);
        break;
    case PSD_BLEND_COLOR:
        set_lum(s, lum(b), out);
        break;
    case PSD_BLEND_LUMINOSITY:
        set_lum(b, lum(s), out);
        break;
    case PSD_BLEND_DARKER_COLOR: {
        const bool backdrop = lum(b) < lum(s);
        for (int i = 0; i < 3; ++i)
            out[i] = backdrop ? b[i] : s[i];
        break;
    }
    default: { // lighter colour
        const bool backdrop = lum(b) > lum(s);
        for (int i = 0; i < 3; ++i)
            out[i] = backdrop ? b[i] : s[i];
        break;
    }
    }
}

// A fixed noise per document position for dissolve: the same file always dissolves the same.
inline float noise(uint32_t x, uint32_t y) {
    uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return float(h >> 8) * (1.0f / 16777216.0f);
}

// Each loop takes the four planes of its canvas row and of its source row as parameters of their
// own, marked `restrict` (they never overlap): checking eight pointers against each other at run
// time is more than the compiler will do before it gives up on vectors.

// Normal mode: the source colour replaces the backdrop's, so no backdrop colour is needed.
void normal_planes(float* __restrict dr, float* __restrict dg, float* __restrict db,
                   float* __restrict da, const float* __restrict red, const float* __restrict green,
                   const float* __restrict blue, const float* __restrict alpha, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const float as = alpha[i];
        const float keep = 1.0f - as;
        dr[i] = as * red[i] + keep * dr[i];
        dg[i] = as * green[i] + keep * dg[i];
        db[i] = as * blue[i] + keep * db[i];
        da[i] = as + keep * da[i];
    }
}
void normal_row(float* canvas, size_t d_stride, const float* source, size_t stride,
                uint32_t count) {
    normal_planes(canvas, canvas + d_stride, canvas + 2 * d_stride, canvas + 3 * d_stride, source,
                  source + stride, source + 2 * stride, source + 3 * stride, count);
}

template <PsdBlendMode Mode>
void blend_planes(float* __restrict dr, float* __restrict dg, float* __restrict db,
                  float* __restrict da, const float* __restrict red, const float* __restrict green,
                  const float* __restrict blue, const float* __restrict alpha, uint32_t count) {
    constexpr PsdBlendMode mode = Mode;
    for (uint32_t i = 0; i < count; ++i) {
        const float s[3] = {red[i], green[i], blue[i]};
        const float d[4] = {dr[i], dg[i], db[i], da[i]};
        // A source pixel without alpha leaves the canvas as it is.
        const float as = alpha[i];
        const bool draws = !(as <= 0.0f);
        const float ab = d[3];
        const float reciprocal = 1.0f / ab;
        const float inverse = ab > 0.0f ? reciprocal : 0.0f;
        const float backdrop[3] = {lesser(1.0f, d[0] * inverse), lesser(1.0f, d[1] * inverse),
                                   lesser(1.0f, d[2] * inverse)};
        float blended[3];
        if (is_separable(mode)) {
            for (int c = 0; c < 3; ++c)
                blended[c] = separable(mode, backdrop[c], s[c]);
        } else {
            non_separable(mode, backdrop, s, blended);
        }
        // The pixel is written whole, picked from the drawn and the old: a store made on a
        // condition would keep the loop from running on vectors.
        float out[4];
        for (int c = 0; c < 3; ++c) {
            const float drawn = as * ((1.0f - ab) * s[c] + ab * blended[c]) + (1.0f - as) * d[c];
            out[c] = draws ? drawn : d[c];
        }
        const float drawn_alpha = as + ab - as * ab;
        out[3] = draws ? drawn_alpha : ab;
        dr[i] = out[0], dg[i] = out[1], db[i] = out[2], da[i] = out[3];
    }
}
template <PsdBlendMode Mode>
void blend_row(float* canvas, size_t d_stride, const float* source, size_t stride, uint32_t count) {
    blend_planes<Mode>(canvas, canvas + d_stride, canvas + 2 * d_stride, canvas + 3 * d_stride,
                       source, source + stride, source + 2 * stride, source + 3 * stride, count);
}

} // namespace

void psd_blend_row(PsdBlendMode mode, float* canvas, size_t canvas_stride, const float* source,
                   size_t stride, uint32_t count, uint32_t x, uint32_t y) {
    switch (mode) {
    case PSD_BLEND_NORMAL:
    case PSD_BLEND_PASS_THROUGH:
        normal_row(canvas, canvas_stride, source, stride, count);
        return;
    case PSD_BLEND_DISSOLVE:
        // Each pixel is drawn whole or not at all, with its alpha as the chance.
        for (uint32_t i = 0; i < count; ++i) {
            float pixel[4] = {source[i], source[stride + i], source[2 * stride + i], 0.0f};
            if (source[3 * stride + i] > noise(x + i, y)) pixel[3] = 1.0f;
            normal_row(canvas + i, canvas_stride, pixel, 1, 1);
        }
        return;
    default:
        break;
    }
    using Row = void (*)(float*, size_t, const float*, size_t, uint32_t);
    static constexpr Row kRows[] = {
        blend_row<PSD_BLEND_NORMAL>,       blend_row<PSD_BLEND_DISSOLVE>,
        blend_row<PSD_BLEND_DARKEN>,       blend_row<PSD_BLEND_MULTIPLY>,
        blend_row<PSD_BLEND_COLOR_BURN>,   blend_row<PSD_BLEND_LINEAR_BURN>,
        blend_row<PSD_BLEND_LIGHTEN>,      blend_row<PSD_BLEND_SCREEN>,
        blend_row<PSD_BLEND_COLOR_DODGE>,  blend_row<PSD_BLEND_LINEAR_DODGE>,
        blend_row<PSD_BLEND_OVERLAY>,      blend_row<PSD_BLEND_SOFT_LIGHT>,
        blend_row<PSD_BLEND_HARD_LIGHT>,   blend_row<PSD_BLEND_VIVID_LIGHT>,
        blend_row<PSD_BLEND_LINEAR_LIGHT>, blend_row<PSD_BLEND_PIN_LIGHT>,
        blend_row<PSD_BLEND_HARD_MIX>,     blend_row<PSD_BLEND_DIFFERENCE>,
        blend_row<PSD_BLEND_EXCLUSION>,    blend_row<PSD_BLEND_HUE>,
        blend_row<PSD_BLEND_SATURATION>,   blend_row<PSD_BLEND_COLOR>,
        blend_row<PSD_BLEND_LUMINOSITY>,   blend_row<PSD_BLEND_PASS_THROUGH>,
        blend_row<PSD_BLEND_DARKER_COLOR>, blend_row<PSD_BLEND_LIGHTER_COLOR>,
        blend_row<PSD_BLEND_SUBTRACT>,     blend_row<PSD_BLEND_DIVIDE>,
    };
    static_assert(sizeof kRows / sizeof kRows[0] == PSD_BLEND_DIVIDE + 1);
    if (uint32_t(mode) < sizeof kRows / sizeof kRows[0])
        kRows[mode](canvas, canvas_stride, source, stride, count);
    else
        normal_row(canvas, canvas_stride, source, stride, count);
}

void psd_blend_pixel(PsdBlendMode mode, const float backdrop[3], const float source[3],
                     float result[3]) {
    if (is_separable(mode)) {
        for (int c = 0; c < 3; ++c)
            result[c] = separable(mode, backdrop[c], source[c]);
    } else {
        non_separable(mode, backdrop, source, result);
    }
}
