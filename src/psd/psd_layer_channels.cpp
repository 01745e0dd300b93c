// One layer's channel image data: each channel (compression method, then data) is decoded into a
// slot of the shared plane scratch buffer, the colour planes are found by channel id and turned
// into the layer's 32-bit pixels, and the user mask plane becomes the layer's mask pixels.
//
// The layer's channel data is read whole before anything is sized by it: its length is checked
// against the bytes the file still holds, and the planes it must fill against what it can
// produce at best (the decompression-bomb rule), so a few bytes can never ask for gigabytes.
#include "psd_layer_reader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int16_t kTransparency = -1;
constexpr int16_t kUserMask = -2;
constexpr int16_t kRealUserMask = -3;

// Each scratch buffer grows to at least this, so small layers do not reallocate one by one.
constexpr uint64_t kMinPlaneScratch = 12288;
constexpr uint64_t kMinCompressedScratch = 4096;

bool is_mask(int16_t id) {
    return id == kUserMask || id == kRealUserMask;
}

struct Plane {
    uint32_t width, rows;
    uint64_t row_bytes, size;
};

// The last channel with `id` wins, as when the file lists an id twice; -1 when there is none.
int find_channel(const PsdLayerRecord* layer, int16_t id, bool first = false) {
    int found = -1;
    for (int i = 0; i < layer->channel_count; ++i)
        if (layer->channels[i].id == id) {
            found = i;
            if (first) break;
        }
    return found;
}

// Colour planes by channel id: rows[] for psd_convert_row, a zero row where a channel is missing.
void convert_layer(PsdContext* ctx, PsdLayerRecord* layer, const Plane& plane) {
    const uint32_t mode = ctx->color_mode;
    const bool alpha = find_channel(layer, kTransparency) >= 0;
    int16_t ids[5] = {0, 0, 0, 0, 0};
    int count = 0;
    PsdRowConverter converter;
    psd_row_converter_init(&converter, ctx);
    converter.width = plane.width;
    converter.inks = false; // only the merged picture keeps its inks
    switch (mode) {
    case PSD_MODE_GRAYSCALE:
    case PSD_MODE_DUOTONE:
    case PSD_MODE_RGB:
    case PSD_MODE_CMYK:
    case PSD_MODE_LAB:
        count = psd_color_planes(mode);
        for (int i = 0; i < count; ++i)
            ids[i] = int16_t(i);
        if (alpha) ids[count++] = kTransparency;
        converter.alpha = alpha;
        break;
    case PSD_MODE_MULTICHANNEL:
        // Three inks, and black from the transparency channel when there is one.
        ids[0] = 0, ids[1] = 1, ids[2] = 2, ids[3] = kTransparency;
        count = 4;
        converter.black = alpha;
        break;
    default: // bitmap and indexed: one channel of indices or bits
        count = 1;
        break;
    }
    converter.planes = count;

    const uint8_t* base[5];
    for (int p = 0; p < count; ++p) {
        const int channel = find_channel(layer, ids[p]);
        base[p] = channel >= 0 ? ctx->planes + uint64_t(channel) * ctx->slot_size : nullptr;
    }
    for (uint32_t y = 0; y < plane.rows; ++y) {
        const uint8_t* rows[5] = {};
        for (int p = 0; p < count; ++p)
            rows[p] = base[p] ? base[p] + uint64_t(y) * plane.row_bytes : psd_zero_row;
        psd_convert_row(&converter, rows, layer->pixels + uint64_t(y) * plane.width);
    }
}

// The user mask plane as one byte per pixel (16-bit samples by their high byte).
void copy_mask(PsdContext* ctx, PsdLayerRecord* layer, int channel) {
    const uint8_t* plane = ctx->planes + uint64_t(channel) * ctx->slot_size;
    const uint64_t pixels = uint64_t(layer->mask_width) * uint64_t(layer->mask_height);
    if (ctx->depth == 8) {
        std::memcpy(layer->mask_pixels, plane, pixels);
    } else {
        for (uint64_t i = 0; i < pixels; ++i)
            layer->mask_pixels[i] = plane[2 * i];
    }
}

} // namespace

alignas(16) const uint8_t psd_zero_row[kPsdZeroRowBytes] = {};

int psd_read_layer_channels(PsdContext* ctx, PsdLayerRecord* layer) {
    const int depth = ctx->depth;
    const Plane colour{uint32_t(layer->width), uint32_t(layer->height),
                       psd_row_bytes(uint32_t(layer->width), depth),
                       psd_plane_bytes(uint32_t(layer->width), uint32_t(layer->height), depth)};
    // Masks are kept at 8 and 16 bits only.
    const Plane mask = depth == 1 ? Plane{0, 0, 0, 0}
                                  : Plane{uint32_t(layer->mask_width), uint32_t(layer->mask_height),
                                          psd_row_bytes(uint32_t(layer->mask_width), depth),
                                          psd_plane_bytes(uint32_t(layer->mask_width),
                                                          uint32_t(layer->mask_height), depth)};
    ctx->layer_plane_size = colour.size;
    ctx->slot_size = std::max(colour.size, mask.size);

    uint64_t total = 0;
    for (int i = 0; i < layer->channel_count; ++i)
        total += layer->channels[i].length;
    if (total > psd_bytes_left(ctx)) return PSD_ERR_SHORT;
    if (ctx->slot_size < 1 || (ctx->options && ctx->options->skip_layer_pixels)) {
        psd_skip(ctx, int64_t(total)); // an empty layer, or pixels nobody asked for
        return PSD_OK;
    }

    // The whole layer's data, then what its channels ask for against what they can produce.
    if (int status = psd_grow_scratch(ctx, &ctx->layer_scratch, &ctx->layer_scratch_capacity, total,
                                      kMinCompressedScratch))
        return status;
    if (psd_read(ctx, ctx->layer_scratch, total) != total) return PSD_ERR_SHORT;
    uint64_t wanted = 0, possible = 0;
    for (uint64_t i = 0, at = 0; i < uint64_t(layer->channel_count); ++i) {
        const uint32_t length = layer->channels[i].length;
        if (length >= 2) {
            const uint16_t method = psd_be16(ctx->layer_scratch + at);
            if (method > 3) return PSD_ERR_COMPRESSION;
            possible += psd_best_output(method, length - 2);
        }
        wanted += is_mask(layer->channels[i].id) ? mask.size : colour.size;
        at += length;
    }
    // The pixels need their colour planes whether the file holds channels for them or not.
    wanted = std::max(wanted, colour.size * uint64_t(psd_color_planes(ctx->color_mode)));
    ctx->layer_bytes_wanted += wanted;
    ctx->layer_bytes_possible += possible;
    if (psd_bomb(ctx->layer_bytes_wanted, ctx->layer_bytes_possible)) return PSD_ERR_SHORT;

    const uint64_t slots = uint64_t(layer->channel_count) * ctx->slot_size;
    if (int status =
            psd_grow_scratch(ctx, &ctx->planes, &ctx->planes_size, slots, kMinPlaneScratch))
        return status;
    for (uint64_t i = 0, at = 0; i < uint64_t(layer->channel_count); ++i) {
        const PsdChannelInfo& channel = layer->channels[i];
        const Plane& plane = is_mask(channel.id) ? mask : colour;
        uint8_t* slot = ctx->planes + i * ctx->slot_size;
        if (channel.length <= 2 || plane.size == 0) {
            // Only the compression method, or nothing: the channel's plane is zero.
            std::memset(slot, 0, plane.size);
        } else {
            const uint16_t method = psd_be16(ctx->layer_scratch + at);
            const int status =
                psd_decode_plane(method, ctx->layer_scratch + at + 2, channel.length - 2, slot,
                                 plane.rows, plane.row_bytes, depth);
            if (status != PSD_OK) return status;
        }
        at += channel.length;
    }

    if (colour.size > 0) {
        const uint64_t bytes = uint64_t(colour.width) * colour.rows * 4;
        void* pixels = nullptr;
        if (int status = psd_alloc_held(ctx, bytes, &pixels)) return status;
        layer->pixels = static_cast<uint32_t*>(pixels);
        layer->pixels_size = bytes;
        convert_layer(ctx, layer, colour);
    }
    const int mask_channel = find_channel(layer, kUserMask, true);
    if (mask.size > 0 && mask_channel >= 0) {
        const uint64_t bytes = uint64_t(mask.width) * mask.rows;
        void* pixels = nullptr;
        if (int status = psd_alloc_held(ctx, bytes, &pixels)) return status;
        layer->mask_pixels = static_cast<uint8_t*>(pixels);
        layer->mask_pixels_size = bytes;
        copy_mask(ctx, layer, mask_channel);
    }
    return PSD_OK;
}
