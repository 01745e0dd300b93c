// One layer's channel image data: each channel (compression method, then data) is decoded into a
// slot of the shared plane scratch buffer, the colour planes are found by channel id and turned
// into the layer's 32-bit pixels, and the user mask plane becomes the layer's mask pixels.
//
// The layer's channel data is read whole before anything is sized by it: its length is checked
// against the bytes the file still holds, and the planes it must fill against what it can
// produce at best (the decompression-bomb rule), so a few bytes can never ask for gigabytes.
#include "psd_layer_reader.h"

#include "Files.h"
#include "psd_layer_bands.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int16_t kUserMask = -2;
constexpr int16_t kRealUserMask = -3;

// Each scratch buffer grows to at least this, so small layers do not reallocate one by one.
constexpr uint64_t kMinPlaneScratch = 12288;
constexpr uint64_t kMinCompressedScratch = 4096;

struct Plane {
    uint32_t width, rows;
    uint64_t row_bytes, size;
};

Plane plane_of(uint32_t width, uint32_t rows, int depth) {
    return {width, rows, psd_row_bytes(width, depth), psd_plane_bytes(width, rows, depth)};
}

// The planes of a layer's channels: colour and transparency at the layer's rectangle, the user
// mask (-2) at its own and the real user mask (-3) at the real mask's; masks are kept at 8 and 16
// bits only.
struct LayerPlanes {
    Plane colour, mask, real_mask;
    const Plane& of(int16_t id) const {
        return id == kUserMask ? mask : id == kRealUserMask ? real_mask : colour;
    }
};

// Colour planes by channel id: rows[] for psd_convert_row, a zero row where a channel is missing.
void convert_layer(PsdContext* ctx, PsdLayerRecord* layer, const Plane& plane) {
    PsdRowConverter converter;
    int channels[5];
    const int count = psd_layer_converter(ctx, layer, plane.width, &converter, channels);
    const uint8_t* base[5];
    for (int p = 0; p < count; ++p)
        base[p] = channels[p] >= 0 ? ctx->planes + uint64_t(channels[p]) * ctx->slot_size : nullptr;
    for (uint32_t y = 0; y < plane.rows; ++y) {
        const uint8_t* rows[5] = {};
        for (int p = 0; p < count; ++p)
            rows[p] = base[p] ? base[p] + uint64_t(y) * plane.row_bytes : psd_zero_row;
        psd_convert_row(&converter, rows, layer->pixels + uint64_t(y) * plane.width);
    }
}

// A mask plane as one byte per pixel (16-bit samples by their high byte), held against the budget.
int copy_mask(PsdContext* ctx, const Plane& plane, int channel, uint8_t** pixels, uint64_t* size) {
    if (plane.size == 0 || channel < 0) return PSD_OK;
    const uint8_t* samples = ctx->planes + uint64_t(channel) * ctx->slot_size;
    const uint64_t count = uint64_t(plane.width) * plane.rows;
    void* block = nullptr;
    if (int status = psd_alloc_held(ctx, count, &block)) return status;
    *pixels = static_cast<uint8_t*>(block);
    *size = count;
    if (ctx->depth == 8) {
        std::memcpy(*pixels, samples, count);
    } else {
        for (uint64_t i = 0; i < count; ++i)
            (*pixels)[i] = samples[2 * i];
    }
    return PSD_OK;
}

} // namespace

int psd_read_layer_channels(PsdContext* ctx, PsdLayerRecord* layer) {
    const int depth = ctx->depth;
    const bool masks = depth != 1;
    const LayerPlanes planes{
        plane_of(uint32_t(layer->width), uint32_t(layer->height), depth),
        masks ? plane_of(uint32_t(layer->mask_width), uint32_t(layer->mask_height), depth)
              : Plane{},
        masks ? plane_of(uint32_t(layer->real_mask_width), uint32_t(layer->real_mask_height), depth)
              : Plane{}};
    const Plane& colour = planes.colour;
    ctx->layer_plane_size = colour.size;
    ctx->slot_size = std::max({colour.size, planes.mask.size, planes.real_mask.size});

    // The lengths together may not pass what the file still holds (PSB's 8-byte lengths could
    // otherwise wrap their sum).
    uint64_t total = 0;
    const uint64_t left = psd_bytes_left(ctx);
    for (int i = 0; i < layer->channel_count; ++i) {
        if (layer->channels[i].length > left - total) return PSD_ERR_SHORT;
        total += layer->channels[i].length;
    }
    if (ctx->slot_size < 1 || (ctx->options && ctx->options->skip_layer_pixels)) {
        psd_skip(ctx, int64_t(total)); // an empty layer, or pixels nobody asked for
        return PSD_OK;
    }

    // The whole layer's data, then what its channels ask for against what they can produce. A
    // caller that only composites may leave the colour channels in the file: only their
    // compression fields are read then.
    const uint64_t data_offset = ctx->stream.consumed;
    if (int status = psd_grow_scratch(ctx, &ctx->layer_scratch, &ctx->layer_scratch_capacity, total,
                                      kMinCompressedScratch))
        return status;
    int deferred_channels[5] = {-1, -1, -1, -1, -1};
    if (ctx->options && ctx->options->defer_layer_pixels && colour.size > 0)
        if (int status = psd_defer_layer_bands(ctx, layer, data_offset, deferred_channels))
            return status;
    auto is_deferred = [&](uint64_t channel) {
        return std::find(deferred_channels, deferred_channels + 5, int(channel)) !=
               deferred_channels + 5;
    };
    if (layer->bands) {
        for (uint64_t i = 0, at = 0; i < uint64_t(layer->channel_count); ++i) {
            const uint64_t length = layer->channels[i].length;
            const uint64_t bytes = is_deferred(i) ? std::min<uint64_t>(length, 2) : length;
            if (ctx->stream.file->readAt(data_offset + at, ctx->layer_scratch + at, bytes) != bytes)
                return PSD_ERR_SHORT;
            at += length;
        }
        psd_skip(ctx, int64_t(total));
    } else if (psd_read(ctx, ctx->layer_scratch, total) != total) {
        return PSD_ERR_SHORT;
    }
    uint64_t wanted = 0, possible = 0;
    for (uint64_t i = 0, at = 0; i < uint64_t(layer->channel_count); ++i) {
        const uint64_t length = layer->channels[i].length;
        // A channel of only its compression field holds no data, whatever method it names.
        if (length > 2) {
            const uint16_t method = psd_be16(ctx->layer_scratch + at);
            if (method > 3) return PSD_ERR_COMPRESSION;
            possible += psd_best_output(method, length - 2);
        }
        wanted += planes.of(layer->channels[i].id).size;
        at += length;
    }
    // The pixels need their colour planes whether the file holds channels for them or not.
    wanted = std::max(wanted, colour.size * uint64_t(psd_color_planes(ctx->color_mode)));
    ctx->layer_bytes_wanted += wanted;
    ctx->layer_bytes_possible += possible;
    ctx->layer_bytes_held += uint64_t(colour.width) * colour.rows * 4 +
                             uint64_t(planes.mask.width) * planes.mask.rows +
                             uint64_t(planes.real_mask.width) * planes.real_mask.rows;
    if (psd_bomb(ctx->layer_bytes_held, ctx->layer_bytes_wanted, ctx->layer_bytes_possible))
        return PSD_ERR_SHORT;

    const bool deferred = layer->bands != nullptr;

    const uint64_t slots = uint64_t(layer->channel_count) * ctx->slot_size;
    if (int status =
            psd_grow_scratch(ctx, &ctx->planes, &ctx->planes_size, slots, kMinPlaneScratch))
        return status;
    for (uint64_t i = 0, at = 0; i < uint64_t(layer->channel_count); ++i) {
        const PsdChannelInfo& channel = layer->channels[i];
        const Plane& plane = planes.of(channel.id);
        uint8_t* slot = ctx->planes + i * ctx->slot_size;
        if (is_deferred(i)) {
            // Decoded band by band as the compositor draws.
        } else if (channel.length <= 2 || plane.size == 0) {
            // Only the compression method, or nothing: the channel's plane is zero.
            std::memset(slot, 0, plane.size);
        } else {
            const uint16_t method = psd_be16(ctx->layer_scratch + at);
            const int status =
                psd_decode_plane(method, ctx->layer_scratch + at + 2, channel.length - 2, slot,
                                 plane.rows, plane.row_bytes, depth, psd_rle_count_size(ctx));
            if (status != PSD_OK) return status;
        }
        at += channel.length;
    }

    if (colour.size > 0 && !deferred) {
        const uint64_t bytes = uint64_t(colour.width) * colour.rows * 4;
        void* pixels = nullptr;
        if (int status = psd_alloc_held(ctx, bytes, &pixels)) return status;
        layer->pixels = static_cast<uint32_t*>(pixels);
        layer->pixels_size = bytes;
        convert_layer(ctx, layer, colour);
    }
    if (int status = copy_mask(ctx, planes.mask, psd_find_channel(layer, kUserMask, true),
                               &layer->mask_pixels, &layer->mask_pixels_size))
        return status;
    return copy_mask(ctx, planes.real_mask, psd_find_channel(layer, kRealUserMask, true),
                     &layer->real_mask_pixels, &layer->real_mask_pixels_size);
}
