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
int side(const PsdContext* ctx, int32_t low, int32_t high, int32_t* result) {
    const int64_t length = int64_t(high) - int64_t(low);
    if (length > int64_t(psd_max_side(ctx))) return PSD_ERR_SIZE;
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

// A mask's rectangle and flags as the mask block gives them, for the user mask or the real one.
struct MaskFields {
    int32_t top, left, bottom, right, width, height;
    uint8_t default_color, relative, disabled, inverted;
};

int mask_fields(const PsdContext* ctx, PsdCursor& c, uint8_t default_color, uint8_t flags,
                MaskFields* m) {
    m->top = int32_t(c.u32());
    m->left = int32_t(c.u32());
    m->bottom = int32_t(c.u32());
    m->right = int32_t(c.u32());
    m->default_color = default_color;
    m->relative = flags & 1;
    m->disabled = (flags >> 1) & 1;
    m->inverted = (flags >> 2) & 1;
    if (int status = side(ctx, m->left, m->right, &m->width)) return status;
    return side(ctx, m->top, m->bottom, &m->height);
}

// Bytes of the mask parameters that `present` announces: user mask density (1) and feather (8),
// vector mask density (1) and feather (8), each when its bit is set, after the byte itself.
uint32_t parameter_bytes(uint8_t present) {
    const uint32_t sizes[] = {1, 8, 1, 8};
    uint32_t bytes = 1;
    for (int bit = 0; bit < 4; ++bit)
        if (present & (1 << bit)) bytes += sizes[bit];
    return bytes;
}

void read_parameters(PsdCursor& c, PsdLayerRecord* layer) {
    const uint8_t present = c.u8();
    layer->mask_parameters = present & 0x0F;
    if (present & 1) layer->mask_density = c.u8();
    if (present & 2) layer->mask_feather = c.f64();
    if (present & 4) layer->vector_mask_density = c.u8();
    if (present & 8) layer->vector_mask_feather = c.f64();
}

// Layer mask: the user mask's rectangle, default colour and flags; then, in a block of 36 bytes
// or more, the real user mask's flags, default colour and rectangle; then the mask parameters
// when flags bit 4 says so. Writers put the real mask before the parameters; a block whose
// real-mask reading cannot be one (a default colour other than 0 or 255, parameters that do not
// fit) holds the parameters right after the flags and no real mask. A 20-byte block ends in two
// bytes of padding.
int read_mask(PsdContext* ctx, PsdLayerRecord* layer, uint64_t extra_end) {
    const uint32_t length = psd_read_u32(ctx);
    const uint64_t end =
        ctx->stream.consumed + std::min<uint64_t>(length, left_until(ctx, extra_end));
    const uint64_t size = end - ctx->stream.consumed;
    if (size < 18) {
        psd_seek(ctx, end);
        return PSD_OK;
    }
    uint8_t block[64] = {}; // the longest block: 36 bytes, then 19 of parameters
    const uint64_t held = std::min<uint64_t>(size, sizeof block);
    psd_read(ctx, block, held); // past the end of the file the fields read as zeros
    psd_seek(ctx, end);
    auto at = [&](uint64_t i) { return i < held ? block[i] : uint8_t(0); };
    const uint8_t default_color = block[16];
    const uint8_t flags = block[17];
    const bool parameters = flags & 0x10;
    bool real = size >= 36;
    if (real && parameters) {
        const bool real_fits = size >= 36 + uint64_t(parameter_bytes(at(36)));
        const bool parameters_fit = size >= 18 + uint64_t(parameter_bytes(at(18)));
        const bool real_default = at(19) == 0 || at(19) == 255;
        real = !parameters_fit || (real_fits && real_default);
    }
    PsdCursor c{block, held, 0};
    MaskFields user{};
    if (int status = mask_fields(ctx, c, default_color, flags, &user)) return status;
    layer->mask_top = user.top, layer->mask_left = user.left;
    layer->mask_bottom = user.bottom, layer->mask_right = user.right;
    layer->mask_width = user.width, layer->mask_height = user.height;
    layer->mask_default_color = user.default_color, layer->mask_relative = user.relative;
    layer->mask_disabled = user.disabled, layer->mask_inverted = user.inverted;
    c.pos = 18;
    if (real) {
        const uint8_t real_flags = c.u8();
        const uint8_t real_default = c.u8();
        MaskFields r{};
        if (int status = mask_fields(ctx, c, real_default, real_flags, &r)) return status;
        layer->has_real_mask = 1;
        layer->real_mask_top = r.top, layer->real_mask_left = r.left;
        layer->real_mask_bottom = r.bottom, layer->real_mask_right = r.right;
        layer->real_mask_width = r.width, layer->real_mask_height = r.height;
        layer->real_mask_default_color = r.default_color, layer->real_mask_relative = r.relative;
        layer->real_mask_disabled = r.disabled, layer->real_mask_inverted = r.inverted;
    }
    if (parameters && c.left() > 0) read_parameters(c, layer);
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

// A block its parser refused is kept on the layer by key and status and passed over by its
// length: one block a reader cannot take loses neither its layer nor the document. The entries
// the parser registered before it stopped go, since they hold what it had read so far.
void note_failed_block(PsdLayerRecord* layer, uint32_t key, int status, int32_t entries_before) {
    while (layer->info_count > entries_before) {
        --layer->info_count;
        psd_free_layer_entry(layer->info_types[layer->info_count],
                             layer->info_data[layer->info_count]);
        layer->info_data[layer->info_count] = nullptr;
    }
    if (layer->failed_block_count < kPsdMaxFailedBlocks)
        layer->failed_blocks[layer->failed_block_count] = {key, status};
    if (layer->failed_block_count < INT32_MAX) ++layer->failed_block_count;
}

// Additional information: "8BIM" (or "8B64"), key, length rounded up to even, data. The length
// of the keys PSB widens takes 8 bytes there.
int read_additional_info(PsdContext* ctx, PsdLayerRecord* layer, uint64_t extra_end) {
    // Fewer than 12 bytes cannot hold a block: padding at the end of the extra data.
    while (left_until(ctx, extra_end) >= 12) {
        const uint32_t signature = psd_read_u32(ctx);
        if (signature != k8BIM && signature != k8B64) return PSD_ERR_LAYER_INFO_SIGNATURE;
        const uint32_t key = psd_read_u32(ctx);
        const uint64_t length = psd_read_block_length(ctx, key);
        const uint64_t left = left_until(ctx, extra_end);
        const uint64_t end = ctx->stream.consumed + (length < left ? (length + 1) & ~1ull : left);
        if (PsdLayerKeyParser parse = psd_layer_key_parser(key)) {
            const int32_t entries = layer->info_count;
            const uint64_t bounded = std::min<uint64_t>(end - ctx->stream.consumed, UINT32_MAX);
            const int status = parse(ctx, layer, uint32_t(bounded));
            // Memory that ran out is no fault of the block.
            if (status == PSD_ERR_MEMORY || status == PSD_ERR_BUDGET) return status;
            if (status != PSD_OK) note_failed_block(layer, key, status, entries);
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
    if (int status = side(ctx, layer->left, layer->right, &layer->width)) return status;
    if (int status = side(ctx, layer->top, layer->bottom, &layer->height)) return status;

    // The count is unsigned in the file; each entry takes 6 bytes of the block (PSB: 10). The
    // record keeps it signed: more than 32767 channels is no real layer.
    const uint16_t count = psd_read_u16(ctx);
    const uint64_t entry_size = psd_is_large(ctx) ? 10 : 6;
    if (uint64_t(count) * entry_size > left_until(ctx, info_end)) return PSD_ERR_SHORT;
    if (count > 0x7FFF) return PSD_ERR_SIZE;
    layer->channels =
        static_cast<PsdChannelInfo*>(std::calloc(size_t(count) + 1, sizeof(PsdChannelInfo)));
    if (!layer->channels) return PSD_ERR_MEMORY;
    layer->channel_count = int16_t(count);
    for (uint16_t i = 0; i < count; ++i) {
        layer->channels[i].id = int16_t(psd_read_u16(ctx));
        layer->channels[i].length = psd_read_length(ctx);
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
