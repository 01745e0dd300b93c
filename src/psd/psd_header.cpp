// The fixed 26-byte file header and the colour mode data section.
#include "psd_internal.h"

#include <cstdlib>
#include <cstring>

int psd_read_header(PsdContext* ctx) {
    uint8_t h[26];
    if (psd_read(ctx, h, sizeof h) != sizeof h) return PSD_ERR_SHORT;
    if (std::memcmp(h, "8BPS", 4) != 0) return PSD_ERR_SIGNATURE;
    // Version 2 is the large document format (PSB): larger sides, and 8-byte lengths where the
    // layer section's sizes can pass 4 GiB.
    ctx->version = psd_be16(h + 4);
    if (ctx->version != 1 && ctx->version != 2) return PSD_ERR_VERSION;
    // Bytes 6 to 11 are reserved.
    ctx->channel_count = psd_be16(h + 12);
    ctx->color_channel_count = int16_t(ctx->channel_count);
    ctx->height = psd_be32(h + 14);
    ctx->width = psd_be32(h + 18);
    ctx->depth = psd_be16(h + 22);
    if (ctx->depth != 1 && ctx->depth != 8 && ctx->depth != 16) return PSD_ERR_DEPTH;
    ctx->color_mode = psd_be16(h + 24);
    if (ctx->color_mode == 5 || ctx->color_mode == 6 || ctx->color_mode > 9) return PSD_ERR_MODE;
    // The format allows 1 to 56 channels and sides of 1 to 30,000 (PSB: 300,000); refusing
    // anything else here keeps every later size computation bounded before a single buffer is
    // allocated.
    const uint32_t side = psd_max_side(ctx);
    if (ctx->width == 0 || ctx->height == 0 || ctx->width > side || ctx->height > side ||
        uint64_t(ctx->width) * ctx->height > kPsdMaxPixels)
        return PSD_ERR_SIZE;
    if (ctx->channel_count == 0 || ctx->channel_count > kPsdMaxChannels) return PSD_ERR_SIZE;
    return PSD_OK;
}

int psd_read_color_mode_data(PsdContext* ctx) {
    const uint32_t length = psd_read_u32(ctx);
    if (length < 1) return PSD_OK;
    if (length > psd_bytes_left(ctx)) return PSD_ERR_SHORT;

    // Indexed palettes are three planes: all reds, then all greens, then all blues. Other modes
    // (duotone) keep private data here, read the same way and never used as a palette.
    const uint32_t count = length / 3;
    auto* palette = static_cast<uint32_t*>(std::malloc(size_t(count) * 4 + 4));
    auto* scratch = static_cast<uint8_t*>(std::malloc(size_t(count) * 3 + 1));
    if (!palette || !scratch) {
        std::free(palette);
        std::free(scratch);
        return PSD_ERR_MEMORY;
    }
    for (uint32_t i = 0; i < count; ++i)
        palette[i] = psd_pack_argb(255, 254, 254, 254);
    const uint64_t got = psd_read(ctx, scratch, uint64_t(count) * 3);
    if (got == uint64_t(count) * 3) {
        for (uint32_t i = 0; i < count; ++i)
            palette[i] = psd_pack_argb(255, scratch[i], scratch[count + i], scratch[2 * count + i]);
    }
    ctx->palette = palette;
    ctx->palette_count = int32_t(count);
    psd_skip(ctx, int64_t(length) - int64_t(count) * 3);
    std::free(scratch);
    return PSD_OK;
}
