// Patterns of the global "Patt", "Pat2" and "Pat3" blocks: each a small picture with its own
// colour mode, its channels held in the format's virtual memory array list, converted to 32-bit
// pixels with the merged image's colour rules.
//
// A pattern's cost is known before any of it is decoded: its size is the array list's rectangle,
// its channels are found by a walk over their headers, and its pixels count at the 4 bytes they
// are held in against the file's one account of the size rule and against the memory budget.
// Its channels are then decoded only as far as their data reaches, and the rows past every
// channel's data, which are all alike, are converted once and copied.
#include "psd_layer_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Per channel of the array list: written flag 4 (nothing follows when it is 0), length 4
// (nothing follows when it is 0); the length counts pixel depth 4, rectangle 16, pixel depth 2
// and compression 1 before the data.
constexpr uint32_t kChannelHeader = 23;
// Version, image mode, point, name length and id length.
constexpr uint64_t kFixedHeader = 17;
// The array list's version, length, rectangle and channel count.
constexpr uint64_t kArrayListHeader = 28;
// Indexed patterns: 256 red, green and blue triples, then 4 bytes that writers add after them.
constexpr uint64_t kPaletteBytes = 256 * 3;
constexpr uint64_t kPalettePadding = 4;
constexpr uint64_t kMinScratch = 4096;
// Planes a conversion reads at most: CMYK's four and the transparency.
constexpr int kMaxPlanes = 5;
// A side as long as the point field can say; the zero row covers such a row at 16 bits.
constexpr int64_t kMaxSide = 65535;

uint64_t left_until(const PsdContext* ctx, uint64_t end) {
    return end > ctx->stream.consumed ? end - ctx->stream.consumed : 0;
}

// The pattern records grow with the file's count of patterns, and are held against the budget:
// a file of nothing but empty patterns would otherwise make hundreds of megabytes of them.
bool grow_patterns(PsdContext* ctx, int* status) {
    *status = PSD_OK;
    if (ctx->pattern_count < ctx->pattern_capacity) return true;
    const int32_t wanted = ctx->pattern_capacity ? ctx->pattern_capacity * 2 : 4;
    const uint64_t more = uint64_t(wanted - ctx->pattern_capacity) * sizeof(PsdPattern);
    if ((*status = psd_hold(ctx, more)) != PSD_OK) return false;
    auto* grown =
        static_cast<PsdPattern*>(std::realloc(ctx->patterns, size_t(wanted) * sizeof(PsdPattern)));
    if (!grown) {
        psd_release(ctx, more);
        *status = PSD_ERR_MEMORY;
        return false;
    }
    ctx->patterns = grown;
    ctx->pattern_capacity = wanted;
    return true;
}

void free_pattern(PsdContext* ctx, PsdPattern& pattern) {
    if (pattern.name) psd_release(ctx, uint64_t(pattern.name_length) * 2 + 2);
    std::free(pattern.name);
    pattern.name = nullptr;
    psd_free_held(ctx, pattern.pixels, pattern.pixels_size);
    pattern.pixels = nullptr;
}

bool known_mode(uint32_t mode) {
    return mode <= 4 || (mode >= 7 && mode <= 9);
}

// Where a written channel's data lies in the file.
struct Channel {
    uint64_t at;
    uint64_t size;
    uint8_t method;
    bool written;
};

// What the walk over the array list found: its written channels with data in file order (the
// first kMaxPlanes of them), and the palette of an indexed pattern.
struct Layout {
    int channels = 0;
    Channel channel[kMaxPlanes] = {};
    uint32_t pixel_depth = 0; // of the first written channel
    uint32_t palette[256] = {};
};

// One entry of the array list, passed over by its length; `found` says where its data lies when
// it is written and holds data.
int walk_entry(PsdContext* ctx, uint64_t end, Channel* found, uint32_t* pixel_depth) {
    if (psd_read_u32(ctx) == 0) return PSD_OK; // not written: the flag is all there is
    if (left_until(ctx, end) < 4) return PSD_ERR_SHORT;
    const uint32_t length = psd_read_u32(ctx);
    if (length < kChannelHeader) {
        // No data (length 0), or too short for a channel: its bytes are passed over all the same.
        psd_seek(ctx, std::min(ctx->stream.consumed + length, end));
        return PSD_OK;
    }
    if (length > left_until(ctx, end)) return PSD_ERR_SHORT;
    const uint64_t data_end = ctx->stream.consumed + length;
    *pixel_depth = psd_read_u32(ctx);
    psd_skip(ctx, 18); // rectangle and the depth again
    const uint8_t method = psd_read_u8(ctx);
    if (method > 3) return PSD_ERR_COMPRESSION;
    *found = {ctx->stream.consumed, length - kChannelHeader, method, true};
    psd_seek(ctx, data_end);
    return PSD_OK;
}

// Every entry up to the pattern's end: the channel count's, then the user and sheet masks (and
// any a writer adds). Writers keep a pattern's transparency in one of those after the colour
// channels, so the written entries are taken in order whatever their place.
int walk_channels(PsdContext* ctx, Layout& layout, uint64_t end) {
    while (left_until(ctx, end) >= 4) {
        Channel found{};
        uint32_t depth = 0;
        if (int status = walk_entry(ctx, end, &found, &depth)) return status;
        if (!found.written) continue;
        if (layout.channels == 0) layout.pixel_depth = depth;
        if (layout.channels < kMaxPlanes) layout.channel[layout.channels] = found;
        ++layout.channels;
    }
    return PSD_OK;
}

// Which channel becomes which plane of the conversion, by the pattern's image mode and the file's
// depth: the colour planes the mode needs, then the transparency. No conversion for pairs
// without one: their pixels stay zero (transparent).
struct Plan {
    bool converts = false;
    int planes = 0; // planes decoded, sources[0 ... planes - 1]
    const Channel* sources[kMaxPlanes] = {};
    PsdRowConverter converter{};
};

Plan plan_for(const PsdPattern& pattern, const Layout& layout, int depth) {
    Plan plan;
    const uint32_t mode = pattern.image_mode;
    const bool bitmap = mode == PSD_MODE_BITMAP && depth == 1 && layout.pixel_depth == 1;
    const bool indexed = mode == PSD_MODE_INDEXED && depth == 8;
    const bool colour = depth != 1 && mode != PSD_MODE_BITMAP && mode != PSD_MODE_INDEXED &&
                        (mode != PSD_MODE_MULTICHANNEL || depth == 8);
    plan.converts = bitmap || indexed || colour;
    PsdRowConverter& c = plan.converter;
    c.mode = mode;
    c.width = pattern.width;
    c.depth = depth;
    std::memcpy(c.table, layout.palette, sizeof c.table);
    const int kept = std::min(layout.channels, kMaxPlanes);
    for (int p = 0; p < kept; ++p)
        plan.sources[p] = &layout.channel[p];
    if (mode == PSD_MODE_MULTICHANNEL) {
        c.black = layout.channels == 4;
        c.planes = 4;
        plan.planes = std::min(kept, 4);
        return plan;
    }
    const int needed = psd_color_planes(mode);
    // A written channel more than the mode needs is the transparency, after the colour planes.
    c.alpha = colour && layout.channels > needed;
    c.planes = needed + (c.alpha ? 1 : 0);
    plan.planes = std::min(kept, c.planes);
    return plan;
}

// The planes' rows for the conversion of image row `y`: a plane's own row where its data reached
// it, else zeros; none for the inks a multichannel pattern lacks (they hold no ink).
struct Rows {
    const uint8_t* row[kMaxPlanes];
};

Rows rows_at(const PsdContext* ctx, const Plan& plan, const uint32_t* reached, uint64_t plane,
             uint64_t row_bytes, uint32_t y) {
    Rows rows{};
    for (int p = 0; p < plan.converter.planes && p < kMaxPlanes; ++p) {
        if (p < plan.planes)
            rows.row[p] = y < reached[p] ? ctx->planes + p * plane + y * row_bytes : psd_zero_row;
        else if (p == 0 || plan.converter.mode != PSD_MODE_MULTICHANNEL)
            rows.row[p] = psd_zero_row;
    }
    return rows;
}

// Decodes the planes as far as their data reaches and converts them.
int decode_pixels(PsdContext* ctx, PsdPattern& pattern, const Plan& plan) {
    if (!plan.converts) return PSD_OK;
    const int depth = ctx->depth;
    const uint64_t row_bytes = psd_row_bytes(pattern.width, depth);
    const uint64_t plane = row_bytes * pattern.height;
    if (int status = psd_grow_scratch(ctx, &ctx->planes, &ctx->planes_size,
                                      uint64_t(plan.planes) * plane, kMinScratch))
        return status;
    uint32_t reached[kMaxPlanes] = {};
    uint32_t rows_with_data = 0;
    for (int p = 0; p < plan.planes; ++p) {
        const Channel* c = plan.sources[p];
        if (!c) continue;
        if (int status = psd_grow_scratch(ctx, &ctx->layer_scratch, &ctx->layer_scratch_capacity,
                                          c->size, kMinScratch))
            return status;
        psd_seek(ctx, c->at);
        if (psd_read(ctx, ctx->layer_scratch, c->size) != c->size) return PSD_ERR_SHORT;
        if (int status = psd_decode_plane_rows(c->method, ctx->layer_scratch, c->size,
                                               ctx->planes + p * plane, pattern.height, row_bytes,
                                               depth, &reached[p]))
            return status;
        rows_with_data = std::max(rows_with_data, reached[p]);
    }

    uint32_t* out = pattern.pixels;
    for (uint32_t y = 0; y < rows_with_data; ++y, out += pattern.width)
        psd_convert_row(&plan.converter, rows_at(ctx, plan, reached, plane, row_bytes, y).row, out);
    if (rows_with_data < pattern.height) {
        // No plane reaches these rows: they all convert alike.
        const uint32_t* first = out;
        psd_convert_row(&plan.converter,
                        rows_at(ctx, plan, reached, plane, row_bytes, pattern.height).row, out);
        for (uint32_t y = rows_with_data + 1; y < pattern.height; ++y)
            std::memcpy(out += pattern.width, first, uint64_t(pattern.width) * 4);
    }
    pattern.channels_read = plan.planes;
    return PSD_OK;
}

// What the pixels cost, counted before any channel is decoded: the file's one account of the
// size rule, where a pattern counts at the bytes it is held in (4 a pixel, or its planes where
// they take more) against what its channels' data can produce; then the pixels themselves
// against the memory budget. A pattern is a swatch, not the picture: a 1-bit plane that holds
// nothing but zeros does not earn a 32-bit copy thousands of times its size.
int hold_pixels(PsdContext* ctx, PsdPattern& pattern, const Plan& plan) {
    const uint64_t pixels = uint64_t(pattern.width) * pattern.height;
    const uint64_t plane = psd_plane_bytes(pattern.width, pattern.height, ctx->depth);
    ctx->layer_bytes_held += pixels * 4;
    ctx->layer_bytes_wanted += std::max(pixels * 4, plane * uint64_t(plan.converter.planes));
    for (int p = 0; p < plan.planes; ++p)
        if (const Channel* c = plan.sources[p])
            ctx->layer_bytes_possible += psd_best_output(c->method, c->size);
    if (psd_bomb(ctx->layer_bytes_held, ctx->layer_bytes_wanted, ctx->layer_bytes_possible))
        return PSD_ERR_SHORT;
    void* block = nullptr;
    if (int status = psd_alloc_held(ctx, pixels * 4, &block)) return status;
    pattern.pixels = static_cast<uint32_t*>(block);
    pattern.pixels_size = pixels * 4;
    return PSD_OK;
}

int read_pattern(PsdContext* ctx, PsdPattern& pattern, uint64_t end) {
    if (left_until(ctx, end) < kFixedHeader) return PSD_ERR_SHORT;
    if (psd_read_u32(ctx) != 1) return PSD_ERR_PATTERN_VERSION;
    pattern.image_mode = psd_read_u32(ctx);
    if (!known_mode(pattern.image_mode)) return PSD_ERR_MODE;
    pattern.point_vertical = psd_read_u16(ctx);
    pattern.point_horizontal = psd_read_u16(ctx);

    uint64_t units = psd_read_u32(ctx);
    units = std::min(units, left_until(ctx, end) / 2);
    if (int status = psd_hold(ctx, units * 2 + 2)) return status;
    pattern.name = static_cast<uint8_t*>(std::calloc(size_t(units) * 2 + 2, 1));
    if (!pattern.name) {
        psd_release(ctx, units * 2 + 2);
        return PSD_ERR_MEMORY;
    }
    pattern.name_length = uint32_t(units);
    psd_read(ctx, pattern.name, units * 2);
    const uint8_t id_length = psd_read_u8(ctx);
    psd_read(ctx, pattern.id, std::min<uint64_t>(id_length, left_until(ctx, end)));

    Layout layout;
    if (pattern.image_mode == PSD_MODE_INDEXED) {
        // The pattern's own palette: 256 entries of red, green and blue; every index is a colour.
        uint8_t rgb[kPaletteBytes] = {};
        psd_read(ctx, rgb, std::min<uint64_t>(sizeof rgb, left_until(ctx, end)));
        for (int i = 0; i < 256; ++i)
            layout.palette[i] = psd_pack_argb(255, rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
        psd_skip(ctx, int64_t(std::min(kPalettePadding, left_until(ctx, end))));
    }

    if (left_until(ctx, end) < kArrayListHeader) return PSD_ERR_SHORT;
    pattern.array_list_version = psd_read_u32(ctx);
    psd_skip(ctx, 4); // the array list's length
    pattern.top = int32_t(psd_read_u32(ctx));
    pattern.left = int32_t(psd_read_u32(ctx));
    pattern.bottom = int32_t(psd_read_u32(ctx));
    pattern.right = int32_t(psd_read_u32(ctx));
    // The pixels are the rectangle's, whatever the point says (writers may leave it 0, 0).
    const int64_t height = int64_t(pattern.bottom) - pattern.top;
    const int64_t width = int64_t(pattern.right) - pattern.left;
    if (height > kMaxSide || width > kMaxSide) return PSD_ERR_SIZE;
    if (height > 0 && width > 0) {
        pattern.height = uint32_t(height);
        pattern.width = uint32_t(width);
    }
    psd_skip(ctx, 4); // the channel count: the entries go on to the pattern's end
    if (int status = walk_channels(ctx, layout, end)) return status;

    if (uint64_t(pattern.width) * pattern.height == 0 ||
        (ctx->options && (ctx->options->skip_layer_pixels || ctx->options->skip_pattern_pixels)))
        return PSD_OK;
    const Plan plan = plan_for(pattern, layout, ctx->depth);
    if (int status = hold_pixels(ctx, pattern, plan)) return status;
    return decode_pixels(ctx, pattern, plan);
}

} // namespace

int psd_read_pattern(PsdContext* ctx, uint64_t block_end) {
    const uint64_t length = (uint64_t(psd_read_u32(ctx)) + 3) & ~uint64_t(3);
    const uint64_t end = std::min(ctx->stream.consumed + length, block_end);
    int status = PSD_OK;
    if (grow_patterns(ctx, &status)) {
        PsdPattern& pattern = ctx->patterns[ctx->pattern_count];
        std::memset(&pattern, 0, sizeof pattern);
        const uint64_t account[] = {ctx->layer_bytes_held, ctx->layer_bytes_wanted,
                                    ctx->layer_bytes_possible};
        status = read_pattern(ctx, pattern, end);
        if (status == PSD_OK) {
            ++ctx->pattern_count;
        } else {
            // A pattern refused costs nothing: the account is as it was before it.
            free_pattern(ctx, pattern);
            ctx->layer_bytes_held = account[0];
            ctx->layer_bytes_wanted = account[1];
            ctx->layer_bytes_possible = account[2];
        }
    }
    // The next pattern starts where this one ends by its length, whatever happened in it.
    psd_seek(ctx, end);
    return status;
}

void psd_free_patterns(PsdContext* ctx) {
    for (int32_t i = 0; ctx->patterns && i < ctx->pattern_count; ++i)
        free_pattern(ctx, ctx->patterns[i]);
    std::free(ctx->patterns);
    psd_release(ctx, uint64_t(ctx->pattern_capacity) * sizeof(PsdPattern));
    ctx->patterns = nullptr;
    ctx->pattern_count = ctx->pattern_capacity = 0;
}
