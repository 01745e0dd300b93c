// The layer and mask information section. Until its records are read, the section is passed
// over by its length; only the number of layers it holds is noted, so that the merged image makes
// a layer of its own just for files that have none.
#include "psd_internal.h"
#include "psd_layer_info.h"

#include <cstdlib>

namespace {

constexpr uint32_t k8BIM = 0x3842494D;
constexpr uint32_t k8B64 = 0x38423634;
constexpr uint32_t kLr16 = 0x4C723136;
constexpr uint32_t kLr32 = 0x4C723332;

int layer_count_of_info(PsdContext* ctx, uint32_t info_length) {
    if (info_length < 2) return 0;
    const int count = int16_t(psd_read_u16(ctx));
    return count < 0 ? -count : count; // a negative count marks a transparent merged image
}

} // namespace

int psd_read_layer_and_mask_info(PsdContext* ctx) {
    const uint32_t length = psd_read_u32(ctx);
    if (length < 1) return PSD_OK;
    if (length > psd_bytes_left(ctx)) return PSD_ERR_SHORT;
    const uint64_t end = ctx->stream.consumed + length;

    // Every read stays inside the section: some writers give it fewer bytes than its parts add
    // up to, and the image data must still be found at its end.
    auto room = [&](uint64_t bytes) { return ctx->stream.consumed + bytes <= end; };
    int count = 0;
    if (room(4)) {
        const uint32_t info_length = psd_read_u32(ctx);
        const uint64_t info_start = ctx->stream.consumed;
        if (room(2)) count = layer_count_of_info(ctx, info_length);
        const uint64_t info_end = info_start + ((uint64_t(info_length) + 1) & ~uint64_t(1));
        if (info_end < end) psd_skip(ctx, int64_t(info_end - ctx->stream.consumed));
    }
    // Global layer mask.
    if (room(4)) {
        const uint32_t mask_length = psd_read_u32(ctx);
        if (room(mask_length)) psd_skip(ctx, mask_length);
    }
    // 16- and 32-bit files keep their layers in a global "Lr16" or "Lr32" block instead.
    while (count == 0 && room(12)) {
        const uint32_t signature = psd_read_u32(ctx);
        if (signature != k8BIM && signature != k8B64) break;
        const uint32_t key = psd_read_u32(ctx);
        const uint32_t block_length = psd_read_u32(ctx);
        if (!room(block_length)) break;
        const uint64_t block_start = ctx->stream.consumed;
        if ((key == kLr16 || key == kLr32) && room(2))
            count = layer_count_of_info(ctx, block_length);
        psd_skip(ctx, int64_t(block_start + block_length - ctx->stream.consumed));
    }
    ctx->skipped_layer_count = count;
    if (ctx->stream.consumed < end) psd_skip(ctx, int64_t(end - ctx->stream.consumed));
    return PSD_OK;
}

void psd_free_layer_record(PsdLayerRecord* layer) {
    if (!layer) return;
    for (int i = 0; i < layer->info_count && i < kPsdMaxLayerInfo; ++i) {
        psd_free_layer_entry(layer->info_keys[i], layer->info_data[i]);
        layer->info_data[i] = nullptr;
    }
    layer->info_count = 0;
    std::free(layer->channels);
    layer->channels = nullptr;
    std::free(layer->unicode_name);
    layer->unicode_name = nullptr;
    psd_free_large(layer->pixels, layer->pixels_size);
    layer->pixels = nullptr;
    psd_free_large(layer->mask_pixels, layer->mask_pixels_size);
    layer->mask_pixels = nullptr;
    for (uint16_t*& range : layer->channel_ranges) {
        std::free(range);
        range = nullptr;
    }
}
