// A file without layers gets one ordinary layer made from its merged picture, so that whoever
// walks the layers sees the picture as a layer as well. Its pixels are the merged pixels, lent:
// a second copy of a large picture would cost as much again in fresh pages, for a layer the
// viewer never reads. psd_own_layer_pixels gives a caller that needs them the layer's own.
#include "psd_internal.h"

#include <cstdlib>
#include <cstring>

namespace {

int fill_layer(PsdContext* ctx, PsdLayerRecord& layer) {
    layer.kind = 0;
    layer.bottom = int32_t(ctx->height);
    layer.right = int32_t(ctx->width);
    layer.width = int32_t(ctx->width);
    layer.height = int32_t(ctx->height);
    layer.blend_mode = PSD_BLEND_NORMAL;
    layer.opacity = 255;
    layer.visible = 1;
    layer.mask_default_color = 255;
    layer.mask_disabled = 1;
    layer.fill_opacity = 255;
    layer.blend_clipped_elements = 1;
    layer.transparency_shapes_layer = 1;
    layer.section_blend_mode = PSD_BLEND_PASS_THROUGH;

    // Channel ids in plane order: colour ids from 0, then -1 for the transparency plane.
    const int count = ctx->color_channel_count > 0 ? ctx->color_channel_count : 0;
    const bool alpha = psd_merged_has_alpha(ctx);
    layer.channel_count = int16_t(count);
    layer.channels =
        static_cast<PsdChannelInfo*>(std::calloc(size_t(count) + 1, sizeof(PsdChannelInfo)));
    if (!layer.channels) return PSD_ERR_MEMORY;
    for (int i = 0; i < count; ++i)
        layer.channels[i].id = int16_t(alpha && i == count - 1 ? -1 : i);

    layer.composite_gray_ranges[1] = 65535;
    layer.composite_gray_ranges[3] = 65535;
    layer.channel_range_count = count;
    for (int k = 0; k < 4; ++k) {
        layer.channel_ranges[k] = static_cast<uint16_t*>(std::calloc(size_t(count) + 1, 2));
        if (!layer.channel_ranges[k]) return PSD_ERR_MEMORY;
        if (k % 2 == 1)
            for (int i = 0; i < count; ++i)
                layer.channel_ranges[k][i] = 65535;
    }

    return PSD_OK;
}

} // namespace

int psd_make_flat_layer(PsdContext* ctx) {
    if (int status = psd_hold(ctx, sizeof(PsdLayerRecord))) return status;
    auto* layer = static_cast<PsdLayerRecord*>(std::calloc(1, sizeof(PsdLayerRecord)));
    if (!layer) return PSD_ERR_MEMORY;
    ctx->layers = layer;
    ctx->layer_count = 1; // from here psd_free releases whatever the layer holds
    layer->pixels = ctx->merged;
    layer->pixels_size = uint64_t(ctx->width) * ctx->height * 4;
    layer->pixels_lent = 1;
    return fill_layer(ctx, *layer);
}

int psd_own_layer_pixels(PsdContext* ctx, PsdLayerRecord* layer) {
    if (!ctx || !layer || !layer->pixels_lent) return PSD_OK;
    void* copy = nullptr;
    if (int status = psd_alloc_held(ctx, layer->pixels_size, &copy)) return status;
    std::memcpy(copy, layer->pixels, layer->pixels_size);
    layer->pixels = static_cast<uint32_t*>(copy);
    layer->pixels_lent = 0;
    return PSD_OK;
}
