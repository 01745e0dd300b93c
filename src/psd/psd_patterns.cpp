// Patterns of the global "Patt"/"Pat2" blocks: each a small picture with its own colour mode, its
// channels held in the format's virtual memory array list, converted to 32-bit pixels with the
// merged image's colour rules. Planes are sized by the channels actually decoded into them.
#include "psd_layer_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Per channel of the array list: written flag 4, length 4; the length counts pixel depth 4,
// rectangle 16, pixel depth 2 and compression 1 before the data.
constexpr uint32_t kChannelHeader = 23;
// Version, image mode, height and width, name length and id length.
constexpr uint64_t kFixedHeader = 17;
// The array list's version, length, rectangle and channel count.
constexpr uint64_t kArrayListHeader = 28;
constexpr uint64_t kMinScratch = 4096;

uint64_t left_until(const PsdContext* ctx, uint64_t end) {
    return end > ctx->stream.consumed ? end - ctx->stream.consumed : 0;
}

bool grow_patterns(PsdContext* ctx) {
    if (ctx->pattern_count < ctx->pattern_capacity) return true;
    const int32_t wanted = ctx->pattern_capacity ? ctx->pattern_capacity * 2 : 4;
    auto* grown =
        static_cast<PsdPattern*>(std::realloc(ctx->patterns, size_t(wanted) * sizeof(PsdPattern)));
    if (!grown) return false;
    ctx->patterns = grown;
    ctx->pattern_capacity = wanted;
    return true;
}

void free_pattern(PsdContext* ctx, PsdPattern& pattern) {
    std::free(pattern.name);
    pattern.name = nullptr;
    psd_free_held(ctx, pattern.pixels, pattern.pixels_size);
    pattern.pixels = nullptr;
}

bool known_mode(uint32_t mode) {
    return mode <= 4 || (mode >= 7 && mode <= 9);
}

struct Decoded {
    int channels = 0;         // planes decoded, in the plane scratch buffer one after another
    uint64_t plane = 0;       // bytes of each
    uint32_t pixel_depth = 0; // of the first written channel
    uint32_t palette[256] = {};
};

// Converts the planes by the pattern's image mode and the file's depth. Pairs without a
// conversion keep the zeroed (transparent) pixels.
void convert(PsdContext* ctx, PsdPattern& pattern, const Decoded& d) {
    const uint32_t mode = pattern.image_mode;
    const int depth = ctx->depth;
    const bool bitmap = mode == PSD_MODE_BITMAP && depth == 1 && d.pixel_depth == 1;
    const bool indexed = mode == PSD_MODE_INDEXED && depth == 8;
    const bool colour = depth != 1 && mode != PSD_MODE_BITMAP && mode != PSD_MODE_INDEXED &&
                        (mode != PSD_MODE_MULTICHANNEL || depth == 8);
    if (!bitmap && !indexed && !colour) return;

    PsdRowConverter converter{};
    converter.mode = mode;
    converter.width = pattern.width;
    converter.depth = depth;
    const int needed = psd_color_planes(mode);
    if (mode == PSD_MODE_MULTICHANNEL) {
        converter.black = d.channels == 4;
        converter.planes = 4;
    } else {
        // One plane more than the mode needs is the transparency, after the colour planes.
        converter.alpha = colour && d.channels == needed + 1;
        converter.planes = needed + (converter.alpha ? 1 : 0);
    }
    std::memcpy(converter.table, d.palette, sizeof converter.table);

    const uint64_t row_bytes = psd_row_bytes(pattern.width, depth);
    for (uint32_t y = 0; y < pattern.height; ++y) {
        const uint8_t* rows[5] = {};
        for (int p = 0; p < converter.planes && p < 5; ++p)
            rows[p] = p < d.channels ? ctx->planes + p * d.plane + y * row_bytes : psd_zero_row;
        psd_convert_row(&converter, rows, pattern.pixels + uint64_t(y) * pattern.width);
    }
}

// One channel of the array list; `d` counts it when it is written and decoded.
int read_channel(PsdContext* ctx, PsdPattern& pattern, Decoded& d, uint64_t end) {
    const uint32_t written = psd_read_u32(ctx);
    const uint32_t length = psd_read_u32(ctx);
    if (length < kChannelHeader) {
        // Too short for a channel: its bytes are passed over all the same.
        psd_seek(ctx, std::min(ctx->stream.consumed + length, end));
        return PSD_OK;
    }
    if (length > left_until(ctx, end)) return PSD_ERR_SHORT;
    const uint64_t data_end = ctx->stream.consumed + length;
    const uint32_t pixel_depth = psd_read_u32(ctx);
    psd_skip(ctx, 18); // rectangle and the depth again
    const uint8_t method = psd_read_u8(ctx);
    const uint64_t n = length - kChannelHeader;
    if ((written & 0xFF) != 1) {
        psd_seek(ctx, data_end);
        return PSD_OK;
    }
    if (d.channels == 0) {
        d.pixel_depth = pixel_depth;
        d.plane = psd_plane_bytes(pattern.width, pattern.height, ctx->depth);
    }
    if (method > 3) return PSD_ERR_COMPRESSION;
    ctx->layer_bytes_wanted += d.plane;
    ctx->layer_bytes_possible += psd_best_output(method, n);
    if (psd_bomb(ctx->layer_bytes_wanted, ctx->layer_bytes_possible)) return PSD_ERR_SHORT;

    const uint64_t planes = uint64_t(d.channels + 1) * d.plane;
    if (int status = psd_grow_scratch(ctx, &ctx->layer_scratch, &ctx->layer_scratch_capacity, n,
                                      kMinScratch))
        return status;
    if (psd_read(ctx, ctx->layer_scratch, n) != n) return PSD_ERR_SHORT;
    if (planes > ctx->planes_size) {
        // The planes decoded so far move into the grown buffer.
        uint8_t* old = ctx->planes;
        const uint64_t old_size = ctx->planes_size;
        void* grown = nullptr;
        const uint64_t size = std::max({planes, old_size * 2, kMinScratch});
        if (int status = psd_alloc_held(ctx, size, &grown)) return status;
        if (old) std::memcpy(grown, old, uint64_t(d.channels) * d.plane);
        psd_free_held(ctx, old, old_size);
        ctx->planes = static_cast<uint8_t*>(grown);
        ctx->planes_size = size;
    }
    if (d.plane > 0) {
        const int status =
            psd_decode_plane(method, ctx->layer_scratch, n, ctx->planes + d.channels * d.plane,
                             pattern.height, psd_row_bytes(pattern.width, ctx->depth), ctx->depth);
        if (status != PSD_OK) return status;
    }
    ++d.channels;
    psd_seek(ctx, data_end);
    return PSD_OK;
}

int read_pattern(PsdContext* ctx, PsdPattern& pattern, uint64_t end) {
    if (left_until(ctx, end) < kFixedHeader) return PSD_ERR_SHORT;
    if (psd_read_u32(ctx) != 1) return PSD_ERR_PATTERN_VERSION;
    pattern.image_mode = psd_read_u32(ctx);
    if (!known_mode(pattern.image_mode)) return PSD_ERR_MODE;
    // The sides are unsigned 16-bit values in the file.
    pattern.height = psd_read_u16(ctx);
    pattern.width = psd_read_u16(ctx);

    uint64_t units = psd_read_u32(ctx);
    units = std::min(units, left_until(ctx, end) / 2);
    pattern.name = static_cast<uint8_t*>(std::malloc(size_t(units) * 2 + 2));
    if (!pattern.name) return PSD_ERR_MEMORY;
    pattern.name_length = uint32_t(psd_read(ctx, pattern.name, units * 2) / 2);
    const uint8_t id_length = psd_read_u8(ctx);
    psd_read(ctx, pattern.id, std::min<uint64_t>(id_length, left_until(ctx, end)));

    Decoded d;
    if (pattern.image_mode == PSD_MODE_INDEXED) {
        // The pattern's own palette: 256 entries of red, green and blue; every index is a colour.
        uint8_t rgb[256 * 3] = {};
        psd_read(ctx, rgb, std::min<uint64_t>(sizeof rgb, left_until(ctx, end)));
        for (int i = 0; i < 256; ++i)
            d.palette[i] = psd_pack_argb(255, rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    }

    if (left_until(ctx, end) < kArrayListHeader) return PSD_ERR_SHORT;
    pattern.array_list_version = psd_read_u32(ctx);
    psd_skip(ctx, 4); // the array list's length
    pattern.top = int32_t(psd_read_u32(ctx));
    pattern.left = int32_t(psd_read_u32(ctx));
    pattern.bottom = int32_t(psd_read_u32(ctx));
    pattern.right = int32_t(psd_read_u32(ctx));
    const uint32_t channels = psd_read_u32(ctx);
    // The first channel always; each later one while the block can still hold one.
    for (uint32_t c = 0; c < channels && left_until(ctx, end) >= (c == 0 ? 8 : 13); ++c)
        if (int status = read_channel(ctx, pattern, d, end)) return status;
    pattern.channels_read = d.channels;

    // The pixels need the mode's colour planes whether the file holds channels for them or not.
    const uint64_t plane = psd_plane_bytes(pattern.width, pattern.height, ctx->depth);
    const int needed = psd_color_planes(pattern.image_mode);
    if (d.channels < needed) ctx->layer_bytes_wanted += plane * uint64_t(needed - d.channels);
    if (psd_bomb(ctx->layer_bytes_wanted, ctx->layer_bytes_possible)) return PSD_ERR_SHORT;
    const uint64_t pixels = uint64_t(pattern.width) * pattern.height;
    if (pixels > 0) {
        void* block = nullptr;
        if (int status = psd_alloc_held(ctx, pixels * 4, &block)) return status;
        pattern.pixels = static_cast<uint32_t*>(block);
        pattern.pixels_size = pixels * 4;
        convert(ctx, pattern, d);
    }
    return PSD_OK;
}

} // namespace

int psd_read_pattern(PsdContext* ctx, uint64_t block_end) {
    const uint64_t length = (uint64_t(psd_read_u32(ctx)) + 3) & ~uint64_t(3);
    const uint64_t end = std::min(ctx->stream.consumed + length, block_end);
    if (!grow_patterns(ctx)) return PSD_ERR_MEMORY;
    PsdPattern& pattern = ctx->patterns[ctx->pattern_count];
    std::memset(&pattern, 0, sizeof pattern);
    const int status = read_pattern(ctx, pattern, end);
    if (status == PSD_OK)
        ++ctx->pattern_count;
    else
        free_pattern(ctx, pattern);
    // The next pattern starts where this one ends by its length, whatever happened in it.
    psd_seek(ctx, end);
    return status;
}

void psd_free_patterns(PsdContext* ctx) {
    for (int32_t i = 0; ctx->patterns && i < ctx->pattern_count; ++i)
        free_pattern(ctx, ctx->patterns[i]);
    std::free(ctx->patterns);
    ctx->patterns = nullptr;
    ctx->pattern_count = ctx->pattern_capacity = 0;
}
