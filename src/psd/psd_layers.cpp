// The layer and mask information section: the layer info (records, then every layer's channel
// image data), the group links, the global layer mask, and the global additional-information
// blocks, of which the 16-bit layers ("Lr16") and the patterns ("Patt", "Pat2", "Pat3") are read.
//
// Every block ends where its own length says, whatever its readers consumed: the image data that
// follows the section is found at the section's end even when a writer left a block unpadded.
#include "psd_layer_bands.h"
#include "psd_layer_reader.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr uint32_t k8BIM = psd_key("8BIM");
constexpr uint32_t k8B64 = psd_key("8B64");
constexpr uint32_t kLr16 = psd_key("Lr16");
constexpr uint32_t kLr32 = psd_key("Lr32");
constexpr uint32_t kPatt = psd_key("Patt");
constexpr uint32_t kPat2 = psd_key("Pat2");
constexpr uint32_t kPat3 = psd_key("Pat3");

// The smallest layer record: rectangle 16, channel count 2, signature 4, blend key 4, opacity,
// clipping, flags and filler 4, extra data length 4.
constexpr uint64_t kMinRecordBytes = 34;

bool is_signature(uint32_t value) {
    return value == k8BIM || value == k8B64;
}

void release_layers(PsdContext* ctx, PsdLayerRecord* layers, int32_t count) {
    for (int32_t i = 0; layers && i < count; ++i)
        psd_free_layer_record(ctx, &layers[i]);
    if (layers) psd_release(ctx, uint64_t(count) * sizeof(PsdLayerRecord));
    std::free(layers);
}

// Layers are stored bottom first; a group is an end record (a bounding divider) before its members
// and its start record (a folder) after them. Walking from the top down, each layer belongs to
// the innermost group open at that point, groups included; a group's end closes it and reopens
// the group that holds it. End records belong to no group.
void link_groups(PsdLayerRecord* layers, int32_t count) {
    PsdLayerRecord* group = nullptr;
    for (int32_t i = count - 1; i >= 0; --i) {
        PsdLayerRecord& layer = layers[i];
        if (layer.kind == 1) {
            group = group ? group->parent : nullptr;
            continue;
        }
        layer.parent = group;
        if (layer.kind == 2) group = &layer;
    }
}

// A layer info block (its own length first). Its layers replace those read before.
int read_layer_info(PsdContext* ctx) {
    const uint64_t length = (psd_read_length(ctx) + 1) & ~uint64_t(1);
    if (length < 1) return PSD_OK;
    const uint64_t start = ctx->stream.consumed;
    if (length > psd_bytes_left(ctx) + 1) return PSD_ERR_SHORT; // + 1: the padding of an odd end
    const uint64_t end = start + length;
    // A negative count says that the merged image's first alpha channel holds its transparency;
    // the layers are the same.
    int32_t count = int16_t(psd_read_u16(ctx));
    if (count < 0) count = -count;
    if (uint64_t(count) * kMinRecordBytes > length) return PSD_ERR_SHORT;

    PsdLayerRecord* layers = nullptr;
    if (count > 0) {
        // The records count against the budget like the pixels they will hold.
        if (int status = psd_hold(ctx, uint64_t(count) * sizeof(PsdLayerRecord))) return status;
        layers = static_cast<PsdLayerRecord*>(std::calloc(size_t(count), sizeof(PsdLayerRecord)));
        if (!layers) {
            psd_release(ctx, uint64_t(count) * sizeof(PsdLayerRecord));
            return PSD_ERR_MEMORY;
        }
    }
    int status = PSD_OK;
    for (int32_t i = 0; status == PSD_OK && i < count; ++i)
        status = psd_read_layer_record(ctx, &layers[i], end);
    // The channel image data of all layers follows all records, in the same order.
    for (int32_t i = 0; status == PSD_OK && i < count; ++i)
        status = psd_read_layer_channels(ctx, &layers[i]);
    if (status != PSD_OK) {
        release_layers(ctx, layers, count);
        return status;
    }
    psd_seek(ctx, end);
    link_groups(layers, count);
    release_layers(ctx, ctx->layers, ctx->layer_count);
    ctx->layers = layers;
    ctx->layer_count = count;
    return PSD_OK;
}

// Global layer mask: overlay colour, opacity, kind, and filler to the block's length.
void read_global_mask(PsdContext* ctx, uint64_t section_end) {
    if (section_end - ctx->stream.consumed < 4) return;
    const uint32_t length = psd_read_u32(ctx);
    if (length == 0) return;
    const uint64_t end = ctx->stream.consumed + length;
    if (length >= 13) {
        ctx->global_mask_color = psd_read_color(ctx);
        ctx->global_mask_opacity = psd_read_u16(ctx);
        ctx->global_mask_kind = psd_read_u8(ctx);
    }
    psd_seek(ctx, end < section_end ? end : section_end);
}

// "Patt", "Pat2", "Pat3": patterns one after another while a pattern's length field fits. A
// pattern its reader refuses is noted and passed over by its length: one pattern loses neither
// the others nor the document. Memory that runs out is no fault of the pattern and stops the read.
int read_patterns(PsdContext* ctx, uint32_t key, uint64_t end) {
    while (end > ctx->stream.consumed && end - ctx->stream.consumed >= 4) {
        const uint64_t before = ctx->stream.consumed;
        const int status = psd_read_pattern(ctx, end);
        if (status == PSD_ERR_MEMORY || status == PSD_ERR_BUDGET) return status;
        if (status != PSD_OK) {
            const int64_t index = int64_t(ctx->pattern_count) + ctx->failed_pattern_count;
            if (ctx->failed_pattern_count < kPsdMaxFailedBlocks)
                ctx->failed_patterns[ctx->failed_pattern_count] = {key, status, int32_t(index)};
            if (ctx->failed_pattern_count < INT32_MAX) ++ctx->failed_pattern_count;
        }
        if (ctx->stream.consumed <= before) break;
    }
    return PSD_OK;
}

// The section passed over by its length; only the number of layers it holds is noted, so that
// the merged image makes a layer of its own just for files that have none.
int count_layers(PsdContext* ctx, uint64_t end) {
    auto room = [&](uint64_t bytes) {
        return ctx->stream.consumed <= end && bytes <= end - ctx->stream.consumed;
    };
    auto count_of = [&](uint64_t info_length) {
        if (info_length < 2 || !room(2)) return 0;
        const int count = int16_t(psd_read_u16(ctx));
        return count < 0 ? -count : count;
    };
    int count = 0;
    const uint64_t length_size = psd_is_large(ctx) ? 8 : 4;
    if (room(length_size)) {
        const uint64_t info_length = psd_read_length(ctx);
        const bool inside = room(info_length);
        const uint64_t info_end = ctx->stream.consumed + ((info_length + 1) & ~1ull);
        count = count_of(info_length);
        if (inside && info_end < end) psd_seek(ctx, info_end);
    }
    if (room(4)) {
        const uint32_t mask_length = psd_read_u32(ctx);
        if (room(mask_length)) psd_skip(ctx, mask_length);
    }
    while (count == 0 && room(12)) {
        if (!is_signature(psd_read_u32(ctx))) break;
        const uint32_t key = psd_read_u32(ctx);
        const uint64_t block_length = psd_read_block_length(ctx, key);
        if (!room(block_length)) break;
        const uint64_t block_end = ctx->stream.consumed + block_length;
        if (key == kLr16 || key == kLr32) count = count_of(block_length);
        psd_seek(ctx, block_end);
    }
    ctx->skipped_layer_count = count;
    psd_seek(ctx, end);
    return PSD_OK;
}

void release_scratch(PsdContext* ctx) {
    psd_free_held(ctx, ctx->planes, ctx->planes_size);
    ctx->planes = nullptr;
    ctx->planes_size = 0;
    psd_free_held(ctx, ctx->layer_scratch, ctx->layer_scratch_capacity);
    ctx->layer_scratch = nullptr;
    ctx->layer_scratch_capacity = 0;
    ctx->layer_plane_size = ctx->slot_size = 0;
}

int read_section(PsdContext* ctx, uint64_t end) {
    int status = read_layer_info(ctx);
    release_scratch(ctx);
    if (status != PSD_OK) return status;
    read_global_mask(ctx, end);

    // Global additional information: signature, key, length, data. The 16-bit layer block carries
    // its own length as the layer info's.
    while (ctx->stream.consumed < end && end - ctx->stream.consumed > 12) {
        if (!is_signature(psd_read_u32(ctx))) break;
        const uint32_t key = psd_read_u32(ctx);
        if (key == kLr16) {
            status = read_layer_info(ctx);
            release_scratch(ctx);
            if (status != PSD_OK) return status;
            continue;
        }
        const uint64_t length = psd_read_block_length(ctx, key);
        const uint64_t block_end =
            ctx->stream.consumed + std::min(length, end - ctx->stream.consumed);
        if (key == kPatt || key == kPat2 || key == kPat3) {
            status = read_patterns(ctx, key, block_end);
            release_scratch(ctx);
            if (status != PSD_OK) return status;
        }
        psd_seek(ctx, block_end);
    }
    return PSD_OK;
}

} // namespace

int psd_read_layer_and_mask_info(PsdContext* ctx) {
    const uint64_t length = psd_read_length(ctx);
    if (length < 1) return PSD_OK;
    if (length > psd_bytes_left(ctx)) return PSD_ERR_SHORT;
    const uint64_t end = ctx->stream.consumed + length;
    if (ctx->options && ctx->options->skip_layers) return count_layers(ctx, end);
    // Pairs the merged image cannot convert are refused before any layer is decoded.
    if (!psd_has_conversion(ctx)) return PSD_ERR_NO_CONVERSION;

    const int status = read_section(ctx, end);
    release_scratch(ctx);
    // The image data starts where the section ends by its own length.
    psd_seek(ctx, end);
    return status;
}

void psd_free_layer_record(PsdContext* ctx, PsdLayerRecord* layer) {
    if (!layer) return;
    for (int i = 0; i < layer->info_count && i < kPsdMaxLayerInfo; ++i) {
        psd_free_layer_entry(layer->info_types[i], layer->info_data[i]);
        layer->info_data[i] = nullptr;
    }
    layer->info_count = 0;
    std::free(layer->channels);
    layer->channels = nullptr;
    std::free(layer->unicode_name);
    layer->unicode_name = nullptr;
    psd_free_layer_bands(ctx, layer);
    if (!layer->pixels_lent) psd_free_held(ctx, layer->pixels, layer->pixels_size);
    layer->pixels = nullptr;
    layer->pixels_lent = 0;
    psd_free_held(ctx, layer->mask_pixels, layer->mask_pixels_size);
    layer->mask_pixels = nullptr;
    psd_free_held(ctx, layer->real_mask_pixels, layer->real_mask_pixels_size);
    layer->real_mask_pixels = nullptr;
    for (uint16_t*& range : layer->channel_ranges) {
        std::free(range);
        range = nullptr;
    }
}
