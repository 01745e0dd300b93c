// One layer record: rectangle, channel list, blend settings, then the extra data (layer mask,
// blending ranges, name and additional-information blocks). Every part of the extra data ends
// where its own length says, and none reaches past the extra data's end.
#include "psd_layer_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t k8BIM = psd_key("8BIM");
constexpr uint32_t k8B64 = psd_key("8B64");

uint64_t left_until(const PsdContext* ctx, uint64_t end) {
    return end > ctx->stream.consumed ? end - ctx->stream.consumed : 0;
}

// A side computed in 64 bits; a side of 0 or less is an empty layer, one past the format's limit
// is refused.
int side(int32_t low, int32_t high, int32_t* result) {
    const int64_t length = int64_t(high) - int64_t(low);
    if (length > int64_t(kPsdMaxSide)) return PSD_ERR_SIZE;
    *result = length > 0 ? int32_t(length) : 0;
    return PSD_OK;
}

void set_defaults(PsdLayerRecord* layer) {
    layer->kind = 0;
    layer->blend_mode = PSD_BLEND_NORMAL;
    layer->opacity = 255;
    layer->visible = 1;
    layer->fill_opacity = 255;
    layer->blend_clipped_elements = 1;
    layer->transparency_shapes_layer = 1;
    layer->section_blend_mode = PSD_BLEND_PASS_THROUGH;
    layer->mask_default_color = 255;
    layer->mask_disabled = 1;
}

int read_mask_rectangle(PsdContext* ctx, PsdLayerRecord* layer) {
    layer->mask_top = int32_t(psd_read_u32(ctx));
    layer->mask_left = int32_t(psd_read_u32(ctx));
    layer->mask_bottom = int32_t(psd_read_u32(ctx));
    layer->mask_right = int32_t(psd_read_u32(ctx));
    if (int status = side(layer->mask_left, layer->mask_right, &layer->mask_width)) return status;
    return side(layer->mask_top, layer->mask_bottom, &layer->mask_height);
}

void set_mask_flags(PsdLayerRecord* layer, uint8_t flags) {
    layer->mask_relative = flags & 1;
    layer->mask_disabled = (flags >> 1) & 1;
    layer->mask_inverted = (flags >> 2) & 1;
}

// Layer mask: rectangle, default colour and flags; the mask parameters when flags bit 4 says so;
// then either two bytes of padding (a 20-byte block) or the real flags, default colour and
// rectangle, which replace the first ones. Only the fields that fit in the block are read.
int read_mask(PsdContext* ctx, PsdLayerRecord* layer, uint64_t extra_end) {
    const uint32_t length = psd_read_u32(ctx);
    const uint64_t end = std::min(ctx->stream.consumed + length, extra_end);
    if (length == 0) return PSD_OK;
    if (left_until(ctx, end) >= 18) {
        if (int status = read_mask_rectangle(ctx, layer)) return status;
        layer->mask_default_color = psd_read_u8(ctx);
        const uint8_t flags = psd_read_u8(ctx);
        set_mask_flags(layer, flags);
        if (flags & 0x10) {
            // Parameters: user mask density (1 byte) and feather (8), vector mask density (1)
            // and feather (8), each present when its bit is set.
            const uint8_t present = psd_read_u8(ctx);
            const int sizes[] = {1, 8, 1, 8};
            for (int bit = 0; bit < 4; ++bit)
                if (present & (1 << bit)) psd_skip(ctx, sizes[bit]);
        }
        if (length != 20 && left_until(ctx, end) >= 18) {
            set_mask_flags(layer, psd_read_u8(ctx));
            layer->mask_default_color = psd_read_u8(ctx);
            if (int status = read_mask_rectangle(ctx, layer)) return status;
        }
    }
    psd_seek(ctx, end);
    return PSD_OK;
}

// Blending ranges: the composite gray ranges when the block holds them, then one range per
// channel for each further 8 bytes. Writers leave the block empty as well.
int read_blending_ranges(PsdContext* ctx, PsdLayerRecord* layer, uint64_t extra_end) {
    const uint32_t length = psd_read_u32(ctx);
    const uint64_t end = std::min(ctx->stream.consumed + length, extra_end);
    const uint64_t bytes = left_until(ctx, end);
    if (bytes >= 8)
        for (uint16_t& value : layer->composite_gray_ranges)
            value = psd_read_u16(ctx);
    const int64_t count = bytes >= 8 ? int64_t(bytes - 8) / 8 : 0;
    layer->channel_range_count = int32_t(count);
    for (uint16_t*& range : layer->channel_ranges) {
        range = static_cast<uint16_t*>(std::calloc(size_t(count) + 1, sizeof(uint16_t)));
        if (!range) return PSD_ERR_MEMORY;
    }
    for (int64_t i = 0; i < count; ++i)
        for (uint16_t* range : layer->channel_ranges)
            range[i] = psd_read_u16(ctx);
    psd_seek(ctx, end);
    return PSD_OK;
}

// Pascal name padded to a multiple of 4 bytes, length byte included.
void read_name(PsdContext* ctx, PsdLayerRecord* layer, uint64_t extra_end) {
    const uint8_t n = psd_read_u8(ctx);
    const uint64_t padded = ((uint64_t(n) + 4) & ~uint64_t(3)) - 1; // at most 255
    const uint64_t take = std::min(padded, left_until(ctx, extra_end));
    std::memset(layer->name, 0, sizeof layer->name);
    psd_read(ctx, layer->name, take);
    std::memset(layer->name + n, 0, sizeof layer->name - n); // the padding is no part of it
}

// Additional information: "8BIM" (or "8B64"), key, length rounded up to even, data.
int read_additional_info(PsdContext* ctx, PsdLayerRecord* layer, uint64_t extra_end) {
    // Fewer than 12 bytes cannot hold a block: padding at the end of the extra data.
    while (left_until(ctx, extra_end) >= 12) {
        const uint32_t signature = psd_read_u32(ctx);
        if (signature != k8BIM && signature != k8B64) return PSD_ERR_LAYER_INFO_SIGNATURE;
        const uint32_t key = psd_read_u32(ctx);
        const uint64_t length = (uint64_t(psd_read_u32(ctx)) + 1) & ~uint64_t(1);
        const uint64_t end = std::min(ctx->stream.consumed + length, extra_end);
        if (PsdLayerKeyParser parse = psd_layer_key_parser(key)) {
            const uint32_t bounded = uint32_t(end - ctx->stream.consumed);
            if (int status = parse(ctx, layer, bounded)) return status;
        }
        psd_seek(ctx, end);
    }
    return PSD_OK;
}

int read_record(PsdContext* ctx, PsdLayerRecord* layer, uint64_t info_end) {
    layer->top = int32_t(psd_read_u32(ctx));
    layer->left = int32_t(psd_read_u32(ctx));
    layer->bottom = int32_t(psd_read_u32(ctx));
    layer->right = int32_t(psd_read_u32(ctx));
    if (int status = side(layer->left, layer->right, &layer->width)) return status;
    if (int status = side(layer->top, layer->bottom, &layer->height)) return status;

    // The count is unsigned in the file; each entry takes 6 bytes of the block. The record keeps
    // it signed: more than 32767 channels is no real layer.
    const uint16_t count = psd_read_u16(ctx);
    if (uint64_t(count) * 6 > left_until(ctx, info_end)) return PSD_ERR_SHORT;
    if (count > 0x7FFF) return PSD_ERR_SIZE;
    layer->channels =
        static_cast<PsdChannelInfo*>(std::calloc(size_t(count) + 1, sizeof(PsdChannelInfo)));
    if (!layer->channels) return PSD_ERR_MEMORY;
    layer->channel_count = int16_t(count);
    for (uint16_t i = 0; i < count; ++i) {
        layer->channels[i].id = int16_t(psd_read_u16(ctx));
        layer->channels[i].length = psd_read_u32(ctx);
    }

    if (psd_read_u32(ctx) != k8BIM) return PSD_ERR_LAYER_SIGNATURE;
    layer->blend_mode = psd_read_blend_mode(ctx);
    layer->opacity = psd_read_u8(ctx);
    layer->clipping = psd_read_bool(ctx);
    const uint8_t flags = psd_read_u8(ctx);
    layer->transparency_protected = flags & 1;
    layer->visible = (flags & 2) ? 0 : 1;
    layer->obsolete = (flags >> 2) & 1;
    layer->pixel_data_irrelevant = (flags & 8) ? (flags >> 4) & 1 : 0;
    psd_skip(ctx, 1); // filler

    const uint32_t extra_length = psd_read_u32(ctx);
    const uint64_t extra_end = ctx->stream.consumed + extra_length;
    if (extra_end > info_end) return PSD_ERR_SHORT;
    if (int status = read_mask(ctx, layer, extra_end)) return status;
    if (int status = read_blending_ranges(ctx, layer, extra_end)) return status;
    read_name(ctx, layer, extra_end);
    if (int status = read_additional_info(ctx, layer, extra_end)) return status;
    psd_seek(ctx, extra_end);
    return PSD_OK;
}

} // namespace

int psd_read_layer_record(PsdContext* ctx, PsdLayerRecord* layer, uint64_t info_end) {
    set_defaults(layer);
    const int status = read_record(ctx, layer, info_end);
    if (status != PSD_OK) psd_free_layer_record(ctx, layer);
    return status;
}
