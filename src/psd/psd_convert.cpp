// Planes to merged pixels, for every colour mode and depth the reader accepts. The planes are
// interleaved into pixels in one pass; a 16-bit sample counts by its high (first) byte.
//
// When the colour channels number one more than the mode needs, the plane after the colour
// planes is the alpha (the file stores colour planes first, then transparency).
#include "psd_internal.h"

#include <cstring>

// Colour planes a mode needs (multichannel reads up to four, and any it lacks hold no ink).
int psd_color_planes(uint32_t mode) {
    switch (mode) {
    case PSD_MODE_RGB:
    case PSD_MODE_LAB:
        return 3;
    case PSD_MODE_CMYK:
        return 4;
    default:
        return 1;
    }
}

bool psd_merged_has_alpha(const PsdContext* ctx) {
    switch (ctx->color_mode) {
    case PSD_MODE_GRAYSCALE:
    case PSD_MODE_DUOTONE:
    case PSD_MODE_RGB:
    case PSD_MODE_CMYK:
    case PSD_MODE_LAB:
        return ctx->color_channel_count == psd_color_planes(ctx->color_mode) + 1;
    default:
        return false;
    }
}

namespace {

struct Planes {
    const uint8_t* p[5];
};

template <int Stride> void gray(uint32_t* out, uint64_t n, Planes s, bool alpha) {
    if (alpha) {
        for (uint64_t i = 0; i < n; ++i)
            out[i] = uint32_t(s.p[1][i * Stride]) << 24 | s.p[0][i * Stride] * 0x010101u;
    } else {
        for (uint64_t i = 0; i < n; ++i)
            out[i] = 0xFF000000u | s.p[0][i * Stride] * 0x010101u;
    }
}

template <int Stride> void rgb(uint32_t* out, uint64_t n, Planes s, bool alpha) {
    const uint8_t *r = s.p[0], *g = s.p[1], *b = s.p[2];
    if (alpha) {
        const uint8_t* a = s.p[3];
        for (uint64_t i = 0; i < n; ++i)
            out[i] = uint32_t(a[i * Stride]) << 24 | uint32_t(r[i * Stride]) << 16 |
                     uint32_t(g[i * Stride]) << 8 | b[i * Stride];
    } else {
        for (uint64_t i = 0; i < n; ++i)
            out[i] = 0xFF000000u | uint32_t(r[i * Stride]) << 16 | uint32_t(g[i * Stride]) << 8 |
                     b[i * Stride];
    }
}

// Stored CMYK samples are 255 for no ink.
template <int Stride> void cmyk(uint32_t* out, uint64_t n, Planes s, bool alpha) {
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t k = i * Stride;
        const uint32_t pixel =
            psd_cmyk_to_argb(255 - s.p[0][k], 255 - s.p[1][k], 255 - s.p[2][k], 255 - s.p[3][k]);
        out[i] = alpha ? (pixel & 0x00FFFFFF) | uint32_t(s.p[4][k]) << 24 : pixel;
    }
}

// The inks as stored, for a caller that converts them through the file's profile.
template <int Stride> void inks(uint32_t* out, uint64_t n, Planes s) {
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t k = i * Stride;
        out[i] = uint32_t(s.p[3][k]) << 24 | uint32_t(s.p[2][k]) << 16 | uint32_t(s.p[1][k]) << 8 |
                 s.p[0][k];
    }
}

// Multichannel: the first three planes as cyan, magenta and yellow inks, the fourth as black
// only when there are exactly four colour channels. Missing planes hold no ink.
template <int Stride> void multichannel(uint32_t* out, uint64_t n, Planes s, bool black) {
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t k = i * Stride;
        const uint32_t c = 255 - s.p[0][k];
        const uint32_t m = s.p[1] ? 255 - s.p[1][k] : 0;
        const uint32_t y = s.p[2] ? 255 - s.p[2][k] : 0;
        const uint32_t black_ink = black ? 255 - s.p[3][k] : 0;
        out[i] = psd_cmyk_to_argb(c, m, y, black_ink);
    }
}

template <int Stride> void lab(uint32_t* out, uint64_t n, Planes s, bool alpha) {
    // Neighbouring pixels often repeat: remember the last conversion.
    uint32_t last_key = 0xFFFFFFFF, last = 0;
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t k = i * Stride;
        const uint32_t key = uint32_t(s.p[0][k]) << 16 | uint32_t(s.p[1][k]) << 8 | s.p[2][k];
        if (key != last_key) {
            last_key = key;
            last = psd_lab_to_argb(double(s.p[0][k] * 100 >> 8), double(s.p[1][k]) - 128.0,
                                   double(s.p[2][k]) - 128.0, 255);
        }
        out[i] = alpha ? (last & 0x00FFFFFF) | uint32_t(s.p[3][k]) << 24 : last;
    }
}

template <int Stride> void convert(const PsdRowConverter& c, Planes s, uint32_t* out, uint64_t n) {
    switch (c.mode) {
    case PSD_MODE_GRAYSCALE:
    case PSD_MODE_DUOTONE:
        gray<Stride>(out, n, s, c.alpha);
        break;
    case PSD_MODE_RGB:
        rgb<Stride>(out, n, s, c.alpha);
        break;
    case PSD_MODE_CMYK:
        if (c.inks)
            inks<Stride>(out, n, s);
        else
            cmyk<Stride>(out, n, s, c.alpha);
        break;
    case PSD_MODE_LAB:
        lab<Stride>(out, n, s, c.alpha);
        break;
    case PSD_MODE_MULTICHANNEL:
        multichannel<Stride>(out, n, s, c.black);
        break;
    default:
        break;
    }
}

} // namespace

bool psd_has_conversion(const PsdContext* ctx) {
    const uint32_t mode = ctx->color_mode;
    if (ctx->depth == 1) {
        if (mode != PSD_MODE_BITMAP) return false;
    } else if (mode == PSD_MODE_BITMAP || (mode == PSD_MODE_INDEXED && ctx->depth != 8)) {
        return false;
    }
    if (mode == PSD_MODE_MULTICHANNEL) return ctx->channel_count >= 1;
    return ctx->channel_count >= psd_color_planes(mode) + (psd_merged_has_alpha(ctx) ? 1 : 0);
}

void psd_row_converter_init(PsdRowConverter* c, const PsdContext* ctx) {
    c->mode = ctx->color_mode;
    c->width = ctx->width;
    c->depth = ctx->depth;
    c->alpha = psd_merged_has_alpha(ctx);
    c->inks = ctx->color_mode == PSD_MODE_CMYK && !c->alpha && ctx->resources.icc_profile.present &&
              ctx->options && ctx->options->cmyk_inks_with_profile;
    c->black = ctx->color_mode == PSD_MODE_MULTICHANNEL && ctx->color_channel_count == 4 &&
               ctx->channel_count >= 4;
    if (ctx->color_mode == PSD_MODE_MULTICHANNEL)
        c->planes =
            ctx->channel_count < (c->black ? 4 : 3) ? ctx->channel_count : (c->black ? 4 : 3);
    else
        c->planes = psd_color_planes(ctx->color_mode) + (c->alpha ? 1 : 0);
    if (ctx->color_mode != PSD_MODE_INDEXED) return;
    // Entries past the colour count (resource 1046, else the whole palette) and the transparent
    // entry (resource 1047, when present) are transparent white.
    const PsdResources& r = ctx->resources;
    int colors = ctx->palette_count;
    if (r.indexed_color_count_present && r.indexed_color_count < colors)
        colors = r.indexed_color_count;
    for (int i = 0; i < 256; ++i)
        c->table[i] = i < colors ? ctx->palette[i] : 0x00FFFFFF;
    if (r.transparency_index_present && r.transparency_index >= 0 && r.transparency_index < 256)
        c->table[r.transparency_index] = 0x00FFFFFF;
}

void psd_convert_row(const PsdRowConverter* c, const uint8_t* const rows[], uint32_t* out) {
    Planes s{};
    for (int i = 0; i < c->planes && i < 5; ++i)
        s.p[i] = rows[i];
    if (c->mode == PSD_MODE_BITMAP) {
        // One bit per pixel, the high bit leftmost; a set bit is black.
        for (uint32_t x = 0; x < c->width; ++x)
            out[x] = (s.p[0][x >> 3] >> (7 - (x & 7))) & 1 ? 0xFF000000u : 0xFFFFFFFFu;
    } else if (c->mode == PSD_MODE_INDEXED) {
        for (uint32_t x = 0; x < c->width; ++x)
            out[x] = c->table[s.p[0][x]];
    } else if (c->depth == 16) {
        convert<2>(*c, s, out, c->width); // the high byte comes first in each big-endian sample
    } else {
        convert<1>(*c, s, out, c->width);
    }
}
