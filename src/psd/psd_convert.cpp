// Planes to merged pixels, for every colour mode and depth the reader accepts. The planes are
// interleaved into pixels in one pass; a 16-bit sample counts by its high (first) byte.
//
// When the colour channels number one more than the mode needs, the plane after the colour
// planes is the alpha (the file stores colour planes first, then transparency).
#include "psd_internal.h"

#include <cstring>

namespace {

// Colour planes a mode needs (multichannel reads up to four, and any it lacks hold no ink).
int planes_needed(uint32_t mode) {
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

} // namespace

bool psd_merged_has_alpha(const PsdContext* ctx) {
    switch (ctx->color_mode) {
    case PSD_MODE_GRAYSCALE:
    case PSD_MODE_DUOTONE:
    case PSD_MODE_RGB:
    case PSD_MODE_CMYK:
    case PSD_MODE_LAB:
        return ctx->color_channel_count == planes_needed(ctx->color_mode) + 1;
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

// Multichannel: the first three planes as cyan, magenta and yellow inks, the fourth as black
// only when there are exactly four colour channels. Missing planes hold no ink.
template <int Stride>
void multichannel(uint32_t* out, uint64_t n, Planes s, int planes, bool black) {
    for (uint64_t i = 0; i < n; ++i) {
        const uint64_t k = i * Stride;
        const uint32_t c = 255 - s.p[0][k];
        const uint32_t m = planes > 1 ? 255 - s.p[1][k] : 0;
        const uint32_t y = planes > 2 ? 255 - s.p[2][k] : 0;
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

void indexed(PsdContext* ctx, uint32_t* out, uint64_t n, const uint8_t* index) {
    // Entries past the colour count (resource 1046, else the whole palette) and the transparent
    // entry (resource 1047, when present) are transparent white.
    const PsdResources& r = ctx->resources;
    uint32_t table[256];
    int colors = ctx->palette_count;
    if (r.indexed_color_count_present && r.indexed_color_count < colors)
        colors = r.indexed_color_count;
    for (int i = 0; i < 256; ++i)
        table[i] = i < colors ? ctx->palette[i] : 0x00FFFFFF;
    if (r.transparency_index_present && r.transparency_index >= 0 && r.transparency_index < 256)
        table[r.transparency_index] = 0x00FFFFFF;
    for (uint64_t i = 0; i < n; ++i)
        out[i] = table[index[i]];
}

void bitmap(const PsdContext* ctx, uint32_t* out, const uint8_t* plane) {
    const uint64_t row_bytes = (uint64_t(ctx->width) + 7) / 8;
    for (uint32_t y = 0; y < ctx->height; ++y) {
        const uint8_t* row = plane + y * row_bytes;
        uint32_t* line = out + uint64_t(y) * ctx->width;
        for (uint32_t x = 0; x < ctx->width; ++x)
            line[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 0xFF000000u : 0xFFFFFFFFu;
    }
}

template <int Stride> void convert(PsdContext* ctx, Planes s, bool alpha) {
    uint32_t* out = ctx->merged;
    const uint64_t n = uint64_t(ctx->width) * ctx->height;
    switch (ctx->color_mode) {
    case PSD_MODE_GRAYSCALE:
    case PSD_MODE_DUOTONE:
        gray<Stride>(out, n, s, alpha);
        break;
    case PSD_MODE_RGB:
        rgb<Stride>(out, n, s, alpha);
        break;
    case PSD_MODE_CMYK:
        cmyk<Stride>(out, n, s, alpha);
        break;
    case PSD_MODE_LAB:
        lab<Stride>(out, n, s, alpha);
        break;
    case PSD_MODE_MULTICHANNEL:
        multichannel<Stride>(out, n, s, ctx->channel_count,
                             ctx->color_channel_count == 4 && ctx->channel_count >= 4);
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
    return ctx->channel_count >= planes_needed(mode) + (psd_merged_has_alpha(ctx) ? 1 : 0);
}

void psd_convert_planes(PsdContext* ctx) {
    Planes s{};
    const int available = ctx->channel_count < 5 ? ctx->channel_count : 5;
    for (int i = 0; i < available; ++i)
        s.p[i] = ctx->planes + uint64_t(i) * ctx->plane_size;
    const bool alpha = psd_merged_has_alpha(ctx);
    if (ctx->color_mode == PSD_MODE_BITMAP) {
        bitmap(ctx, ctx->merged, s.p[0]);
    } else if (ctx->color_mode == PSD_MODE_INDEXED) {
        indexed(ctx, ctx->merged, uint64_t(ctx->width) * ctx->height, s.p[0]);
    } else if (ctx->depth == 16) {
        convert<2>(ctx, s, alpha); // the high byte comes first in each big-endian sample
    } else {
        convert<1>(ctx, s, alpha);
    }
}
