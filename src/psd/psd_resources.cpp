// The image resources section: a run of "8BIM" blocks (id, padded Pascal name, padded size,
// data). Each block is read whole and parsed from memory, so that a block whose contents claim
// more than its size can never pull the reader into the next block.
#include "psd_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t k8BIM = 0x3842494D;

// Replaces an owned buffer with a copy of `n` bytes at the cursor; false when memory runs out.
bool take_copy(PsdCursor& c, uint64_t n, uint8_t** target) {
    n = std::min(n, c.left());
    auto* copy = static_cast<uint8_t*>(std::malloc(size_t(n) + 1));
    if (!copy) return false;
    std::memcpy(copy, c.data + c.pos, size_t(n));
    c.skip(n);
    std::free(*target);
    *target = copy;
    return true;
}

float fixed_16_16(uint32_t v) {
    return float(double(v) / 65536.0);
}

// --- Alpha channel records (1006, 1045, 1053) ---------------------------------------------------

// The first of these resources fixes the number of alpha channels and creates their records;
// the later ones fill the same records in order.
int ensure_alpha_records(PsdContext* ctx, uint64_t count) {
    if (ctx->alpha_channel_count != 0 || count == 0) return PSD_OK;
    // Alpha channels come after the colour channels the mode needs, so there are never more of
    // them than the channels left over: no resource can take a colour channel for an alpha one.
    const int colour = psd_color_planes(ctx->color_mode);
    const uint64_t spare = ctx->channel_count > colour ? uint64_t(ctx->channel_count - colour) : 0;
    count = std::min(count, spare);
    if (count == 0) return PSD_OK;
    auto* records =
        static_cast<PsdAlphaChannel*>(std::calloc(size_t(count), sizeof(PsdAlphaChannel)));
    if (!records) return PSD_ERR_MEMORY;
    ctx->alpha_channels = records;
    ctx->alpha_channel_count = int16_t(count);
    ctx->color_channel_count = int16_t(ctx->channel_count - count);
    return PSD_OK;
}

int read_alpha_names(PsdContext* ctx, PsdCursor& c) {
    uint64_t count = 0;
    for (uint64_t pos = 0; pos + 1 < c.size; pos += uint64_t(c.data[pos]) + 1)
        ++count;
    if (int status = ensure_alpha_records(ctx, count)) return status;
    for (int i = 0; i < ctx->alpha_channel_count && c.left() >= 1; ++i) {
        const uint8_t n = c.u8();
        const uint64_t take = std::min<uint64_t>(n, c.left());
        PsdAlphaChannel& alpha = ctx->alpha_channels[i];
        std::memset(alpha.name, 0, sizeof alpha.name);
        std::memcpy(alpha.name, c.data + c.pos, size_t(take));
        c.skip(take);
    }
    ctx->resources.alpha_names_present = 1;
    return PSD_OK;
}

int read_unicode_alpha_names(PsdContext* ctx, PsdCursor& c) {
    uint64_t count = 0;
    for (uint64_t pos = 0; pos + 4 <= c.size; ++count) {
        const uint64_t length = psd_be32(c.data + pos);
        pos += 4 + length * 2;
    }
    if (int status = ensure_alpha_records(ctx, count)) return status;
    for (int i = 0; i < ctx->alpha_channel_count && c.left() >= 4; ++i) {
        const uint32_t length = c.u32();
        if (uint64_t(length) * 2 > c.left()) break; // the name runs past the block
        PsdAlphaChannel& alpha = ctx->alpha_channels[i];
        if (!take_copy(c, uint64_t(length) * 2, &alpha.unicode_name)) return PSD_ERR_MEMORY;
        alpha.unicode_name_length = length;
    }
    ctx->resources.alpha_names_present = 1;
    return PSD_OK;
}

int read_alpha_identifiers(PsdContext* ctx, PsdCursor& c) {
    if (int status = ensure_alpha_records(ctx, c.size / 4)) return status;
    for (int i = 0; i < ctx->alpha_channel_count && c.left() >= 4; ++i)
        ctx->alpha_channels[i].identifier = c.u32();
    ctx->resources.alpha_names_present = 1;
    return PSD_OK;
}

// --- Slices (1050) and URLs (1054) -----------------------------------------------------------

void skip_unicode(PsdCursor& c) {
    c.skip(uint64_t(c.u32()) * 2);
}

int read_slices(PsdContext* ctx, PsdCursor& c) {
    auto& s = ctx->resources.slices;
    if (c.u32() != 6) return PSD_OK;
    s.top = c.u32();
    s.left = c.u32();
    s.bottom = c.u32();
    s.right = c.u32();
    skip_unicode(c); // group name
    const uint32_t declared = c.u32();
    // A slice takes at least 69 bytes: count no more slices than the block can hold.
    const uint64_t count = std::min<uint64_t>(declared, c.left() / 69);
    auto* slices = static_cast<PsdSlice*>(std::calloc(size_t(count) + 1, sizeof(PsdSlice)));
    if (!slices) return PSD_ERR_MEMORY;
    for (uint64_t i = 0; i < count; ++i) {
        PsdSlice& slice = slices[i];
        slice.id = c.u32();
        slice.group_id = c.u32();
        slice.origin = c.u32();
        if (slice.origin == 1) slice.layer_id = c.u32();
        skip_unicode(c); // name
        slice.type = c.u32();
        slice.left = c.u32();
        slice.top = c.u32();
        slice.right = c.u32();
        slice.bottom = c.u32();
        for (int k = 0; k < 4; ++k)
            skip_unicode(c); // URL, target, message, alt tag
        slice.cell_text_is_html = c.u8();
        skip_unicode(c); // cell text
        slice.horizontal_alignment = c.u32();
        slice.vertical_alignment = c.u32();
        const uint8_t a = c.u8(), r = c.u8(), g = c.u8(), b = c.u8();
        slice.color = psd_pack_argb(a, r, g, b);
    }
    std::free(s.slices);
    s.slices = slices;
    s.count = uint32_t(count);
    s.present = 1;
    return PSD_OK;
}

int read_urls(PsdContext* ctx, PsdCursor& c) {
    auto& u = ctx->resources.urls;
    // Each count is read in a statement of its own before it is bounded by what is left: in one
    // expression the compiler may measure what is left before the count is read.
    const uint64_t declared = c.u32();
    const uint64_t count = std::min(declared, c.left() / 12);
    auto* entries = static_cast<PsdUrl*>(std::calloc(size_t(count) + 1, sizeof(PsdUrl)));
    if (!entries) return PSD_ERR_MEMORY;
    for (uint64_t i = 0; i < count; ++i) {
        entries[i].value = c.u32();
        entries[i].id = c.u32();
        const uint64_t bytes = std::min<uint64_t>(uint64_t(c.u32()) * 2, c.left());
        if (!take_copy(c, bytes, &entries[i].url)) {
            for (uint64_t k = 0; k <= i; ++k)
                std::free(entries[k].url);
            std::free(entries);
            return PSD_ERR_MEMORY;
        }
        entries[i].length = uint32_t(bytes / 2); // trimmed at the block's end
    }
    for (uint32_t i = 0; u.entries && i < u.count; ++i)
        std::free(u.entries[i].url);
    std::free(u.entries);
    u.entries = entries;
    u.count = uint32_t(count);
    u.present = 1;
    return PSD_OK;
}

int read_version_info(PsdContext* ctx, PsdCursor& c) {
    auto& v = ctx->resources.version;
    v.version = c.u32();
    v.has_real_merged_data = c.u8() != 0;
    uint64_t length = c.u32();
    length = std::min(length, c.left() / 2);
    if (!take_copy(c, length * 2, &v.writer)) return PSD_ERR_MEMORY;
    v.writer_length = uint32_t(length);
    length = c.u32();
    length = std::min(length, c.left() / 2);
    if (!take_copy(c, length * 2, &v.reader)) return PSD_ERR_MEMORY;
    v.reader_length = uint32_t(length);
    v.file_version = c.u32();
    v.present = 1;
    return PSD_OK;
}

// --- The other resources --------------------------------------------------------------------

int read_resolution(PsdContext* ctx, PsdCursor& c) {
    auto& r = ctx->resources.resolution;
    if (c.size < 16) return PSD_OK;
    r.horizontal = fixed_16_16(c.u32());
    r.horizontal_unit = c.u16();
    r.width_unit = c.u16();
    r.vertical = fixed_16_16(c.u32());
    r.vertical_unit = c.u16();
    r.height_unit = c.u16();
    r.present = 1;
    return PSD_OK;
}

int read_display_info(PsdContext* ctx, PsdCursor& c) {
    auto& d = ctx->resources.display;
    if (c.size < 13) return PSD_OK; // only the first entry is kept
    d.color = psd_cursor_color(c);
    d.opacity = c.u16();
    d.kind = c.u8();
    d.present = 1;
    return PSD_OK;
}

int read_caption(PsdContext* ctx, PsdCursor& c) {
    PsdResources& r = ctx->resources;
    const uint64_t n = std::min<uint64_t>(c.u8(), c.left());
    std::memset(r.caption, 0, sizeof r.caption);
    std::memcpy(r.caption, c.data + c.pos, size_t(n));
    r.caption_present = 1;
    return PSD_OK;
}

int read_border(PsdContext* ctx, PsdCursor& c) {
    auto& b = ctx->resources.border;
    if (c.size < 6) return PSD_OK;
    b.width = fixed_16_16(c.u32());
    b.unit = int16_t(c.u16());
    b.present = 1;
    return PSD_OK;
}

int read_print_flags(PsdContext* ctx, PsdCursor& c) {
    auto& p = ctx->resources.print_flags;
    if (c.size < 9) return PSD_OK;
    for (uint8_t& flag : p.flags)
        flag = c.u8() != 0;
    p.present = 1;
    return PSD_OK;
}

int read_layer_state(PsdContext* ctx, PsdCursor& c) {
    ctx->resources.target_layer = c.u16();
    ctx->resources.layer_state_present = 1;
    return PSD_OK;
}

int read_layer_groups(PsdContext* ctx, PsdCursor& c) {
    auto& g = ctx->resources.layer_groups;
    const uint64_t count = c.size / 2;
    auto* ids = static_cast<uint16_t*>(std::malloc(size_t(count) * 2 + 2));
    if (!ids) return PSD_ERR_MEMORY;
    for (uint64_t i = 0; i < count; ++i)
        ids[i] = c.u16();
    std::free(g.ids);
    g.ids = ids;
    g.count = int32_t(count);
    g.present = 1;
    return PSD_OK;
}

int read_grid_and_guides(PsdContext* ctx, PsdCursor& c) {
    if (c.u32() != 1) return PSD_OK;
    auto& g = ctx->resources.grid;
    g.horizontal_cycle = c.u32();
    g.vertical_cycle = c.u32();
    const uint64_t declared = c.u32();
    const uint64_t count = std::min(declared, c.left() / 5);
    auto* locations = static_cast<uint32_t*>(std::malloc(size_t(count) * 4 + 4));
    auto* directions = static_cast<uint8_t*>(std::malloc(size_t(count) + 1));
    if (!locations || !directions) {
        std::free(locations);
        std::free(directions);
        return PSD_ERR_MEMORY;
    }
    for (uint64_t i = 0; i < count; ++i) {
        locations[i] = c.u32();
        directions[i] = c.u8();
    }
    std::free(g.locations);
    std::free(g.directions);
    g.locations = locations;
    g.directions = directions;
    g.guide_count = uint32_t(count);
    g.present = 1;
    return PSD_OK;
}

int read_thumbnail(PsdContext* ctx, PsdCursor& c) {
    if (c.size < 28) return PSD_OK;
    auto& t = ctx->resources.thumbnail;
    t.format = c.u32();
    t.width = c.u32();
    t.height = c.u32();
    t.width_bytes = c.u32();
    t.total_size = c.u32();
    t.compressed_size = c.u32();
    t.bits_per_pixel = c.u16();
    t.planes = c.u16();
    t.data_size = uint32_t(c.left());
    if (!take_copy(c, c.left(), &t.data)) return PSD_ERR_MEMORY;
    t.present = 1;
    return PSD_OK;
}

int read_copyright(PsdContext* ctx, PsdCursor& c) {
    ctx->resources.copyright = c.u16();
    ctx->resources.copyright_present = 1;
    return PSD_OK;
}

int read_global_angle(PsdContext* ctx, PsdCursor& c) {
    ctx->resources.global_angle = int32_t(c.u32());
    return PSD_OK;
}

int read_color_samplers(PsdContext* ctx, PsdCursor& c) {
    if (c.u32() != 1) return PSD_OK;
    auto& s = ctx->resources.color_samplers;
    const uint64_t declared = c.u32();
    const uint64_t count = std::min(declared, c.left() / 10);
    auto* samplers =
        static_cast<PsdColorSampler*>(std::calloc(size_t(count) + 1, sizeof(PsdColorSampler)));
    if (!samplers) return PSD_ERR_MEMORY;
    for (uint64_t i = 0; i < count; ++i) {
        samplers[i].vertical = c.u32();
        samplers[i].horizontal = c.u32();
        samplers[i].color_space = int16_t(c.u16());
    }
    std::free(s.samplers);
    s.samplers = samplers;
    s.count = uint32_t(count);
    s.present = 1;
    return PSD_OK;
}

int read_effects_visible(PsdContext* ctx, PsdCursor& c) {
    ctx->resources.effects_visible = c.u16();
    ctx->resources.effects_visible_present = 1;
    return PSD_OK;
}

int read_indexed_color_count(PsdContext* ctx, PsdCursor& c) {
    ctx->resources.indexed_color_count = int16_t(c.u16());
    ctx->resources.indexed_color_count_present = 1;
    return PSD_OK;
}

int read_transparency_index(PsdContext* ctx, PsdCursor& c) {
    ctx->resources.transparency_index = int16_t(c.u16());
    ctx->resources.transparency_index_present = 1;
    return PSD_OK;
}

int read_global_altitude(PsdContext* ctx, PsdCursor& c) {
    ctx->resources.global_altitude = int32_t(c.u32());
    return PSD_OK;
}

// EXIF (1058, 1059: the last one read is kept) and XMP (1060) are kept whole.
int read_blob(PsdCursor& c, uint8_t*& data, uint32_t& size, uint8_t& present) {
    if (!take_copy(c, c.size, &data)) return PSD_ERR_MEMORY;
    size = uint32_t(c.size);
    present = 1;
    return PSD_OK;
}

int read_exif(PsdContext* ctx, PsdCursor& c) {
    auto& e = ctx->resources.exif;
    return read_blob(c, e.data, e.size, e.present);
}

int read_xmp(PsdContext* ctx, PsdCursor& c) {
    auto& x = ctx->resources.xmp;
    return read_blob(c, x.data, x.size, x.present);
}

int read_icc_profile(PsdContext* ctx, PsdCursor& c) {
    auto& p = ctx->resources.icc_profile;
    if (p.present) return PSD_OK;
    return read_blob(c, p.data, p.size, p.present);
}

int read_print_scale(PsdContext* ctx, PsdCursor& c) {
    auto& p = ctx->resources.print_scale;
    if (c.size < 14) return PSD_OK;
    p.style = int16_t(c.u16());
    p.x = c.f32();
    p.y = c.f32();
    p.scale = c.f32();
    p.present = 1;
    return PSD_OK;
}

int read_pixel_aspect_ratio(PsdContext* ctx, PsdCursor& c) {
    if (c.u32() != 1 || c.left() < 8) return PSD_OK;
    ctx->resources.pixel_aspect_ratio = c.f64();
    ctx->resources.pixel_aspect_present = 1;
    return PSD_OK;
}

int read_print_info(PsdContext* ctx, PsdCursor& c) {
    auto& p = ctx->resources.print_info;
    if (c.u16() != 1 || c.left() < 8) return PSD_OK;
    p.centre_crop_marks = c.u8() != 0;
    c.skip(1);
    p.bleed_width_value = c.u32();
    p.bleed_width_scale = c.u16();
    p.present = 1;
    return PSD_OK;
}

// Resource ids the reader keeps; every other id is skipped with its block.
enum ResourceId : uint16_t {
    kResolutionInfo = 1005,
    kAlphaNames = 1006,
    kDisplayInfo = 1007,
    kCaption = 1008,
    kBorderInfo = 1009,
    kPrintFlags = 1011,
    kLayerState = 1024,
    kLayerGroups = 1026,
    kGridAndGuides = 1032,
    kThumbnailOld = 1033, // BGR order in its JPEG data; kept as it is
    kCopyright = 1034,
    kThumbnail = 1036,
    kGlobalAngle = 1037,
    kColorSamplers = 1038,
    kIccProfile = 1039,
    kEffectsVisible = 1042,
    kUnicodeAlphaNames = 1045,
    kIndexedColorCount = 1046,
    kTransparencyIndex = 1047,
    kGlobalAltitude = 1049,
    kSlices = 1050,
    kAlphaIdentifiers = 1053,
    kUrlList = 1054,
    kVersionInfo = 1057,
    kExifData1 = 1058,
    kExifData3 = 1059,
    kXmpMetadata = 1060,
    kPrintScale = 1062,
    kPixelAspectRatio = 1064,
    kPathFirst = 2000,
    kPathLast = 2998,
    kPrintInfo = 10000,
};

// Readers see their whole block in memory.
struct ResourceReader {
    uint16_t id;
    int (*read)(PsdContext*, PsdCursor&);
};

constexpr ResourceReader kReaders[] = {
    {kResolutionInfo, read_resolution},
    {kAlphaNames, read_alpha_names},
    {kDisplayInfo, read_display_info},
    {kCaption, read_caption},
    {kBorderInfo, read_border},
    {kPrintFlags, read_print_flags},
    {kLayerState, read_layer_state},
    {kLayerGroups, read_layer_groups},
    {kGridAndGuides, read_grid_and_guides},
    {kThumbnailOld, read_thumbnail},
    {kCopyright, read_copyright},
    {kThumbnail, read_thumbnail},
    {kGlobalAngle, read_global_angle},
    {kColorSamplers, read_color_samplers},
    {kIccProfile, read_icc_profile},
    {kEffectsVisible, read_effects_visible},
    {kUnicodeAlphaNames, read_unicode_alpha_names},
    {kIndexedColorCount, read_indexed_color_count},
    {kTransparencyIndex, read_transparency_index},
    {kGlobalAltitude, read_global_altitude},
    {kSlices, read_slices},
    {kAlphaIdentifiers, read_alpha_identifiers},
    {kUrlList, read_urls},
    {kVersionInfo, read_version_info},
    {kExifData1, read_exif},
    {kExifData3, read_exif},
    {kXmpMetadata, read_xmp},
    {kPrintScale, read_print_scale},
    {kPixelAspectRatio, read_pixel_aspect_ratio},
    {kPrintInfo, read_print_info},
};

int dispatch(PsdContext* ctx, uint16_t id, PsdCursor& c) {
    // Each path is kept under its own id.
    if (id >= kPathFirst && id <= kPathLast) return psd_read_path_resource(ctx, id, c);
    for (const ResourceReader& reader : kReaders)
        if (reader.id == id) return reader.read(ctx, c);
    return PSD_OK;
}

} // namespace

int psd_read_image_resources(PsdContext* ctx) {
    const uint32_t section = psd_read_u32(ctx);
    if (section < 1) return PSD_OK;
    if (section > psd_bytes_left(ctx)) return PSD_ERR_SHORT;
    ctx->resources.global_angle = 30;
    ctx->resources.global_altitude = 30;

    int64_t left = section;
    while (left > 0) {
        if (psd_read_u32(ctx) != k8BIM) return PSD_ERR_RESOURCE_SIGNATURE;
        const uint16_t id = psd_read_u16(ctx);
        // Pascal name padded to an even size, length byte included; not kept.
        const uint8_t name_length = psd_read_u8(ctx);
        const int64_t name_bytes = name_length % 2 == 0 ? name_length + 1 : name_length;
        psd_skip(ctx, name_bytes);
        const uint64_t size = (uint64_t(psd_read_u32(ctx)) + 1) & ~uint64_t(1);
        left -= 11 + name_bytes + int64_t(size);
        if (size < 1) continue;
        if (size > psd_bytes_left(ctx)) return PSD_ERR_SHORT;

        auto* block = static_cast<uint8_t*>(std::malloc(size_t(size)));
        if (!block) return PSD_ERR_MEMORY;
        const uint64_t got = psd_read(ctx, block, size);
        PsdCursor cursor{block, got, 0};
        const int status = dispatch(ctx, id, cursor);
        std::free(block);
        if (status != PSD_OK) return status;
    }
    return PSD_OK;
}
