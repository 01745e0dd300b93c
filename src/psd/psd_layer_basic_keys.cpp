// The additional-information blocks of a layer record that hold a few fixed fields: the Unicode
// name, protection, sheet colour, reference point, section dividers and blending restrictions.
#include "psd_descriptor.h"
#include "psd_layer_reader.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

// Length in UTF-16 units, then the units as in the file; a length past the block is cut to it.
int psd_read_unicode_name(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    uint64_t units = psd_read_u32(ctx);
    const uint64_t room = length >= 4 ? (length - 4) / 2 : 0;
    if (units > room) units = room;
    auto* name = static_cast<uint8_t*>(std::malloc(size_t(units) * 2 + 2));
    if (!name) return PSD_ERR_MEMORY;
    const uint64_t got = psd_read(ctx, name, units * 2);
    std::free(layer->unicode_name);
    layer->unicode_name = name;
    layer->unicode_name_length = uint32_t(got / 2);
    return PSD_OK;
}

int psd_read_protection(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    const uint32_t flags = psd_read_u32(ctx);
    layer->protect_transparency = flags & 1;
    layer->protect_composite = (flags >> 1) & 1;
    layer->protect_position = (flags >> 2) & 1;
    return PSD_OK;
}

int psd_read_sheet_color(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    uint8_t b[4];
    for (uint8_t& byte : b)
        byte = psd_read_u8(ctx);
    psd_color_to_rgb(&layer->sheet_color, 0, b[0], b[1], b[2], 0);
    psd_skip(ctx, 4);
    return PSD_OK;
}

int psd_read_reference_point(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    // Through the reader's one saturating conversion: NaN is 0, values beyond 32 bits clamp.
    layer->reference_x = psd_double_to_i32(psd_read_f64(ctx));
    layer->reference_y = psd_double_to_i32(psd_read_f64(ctx));
    return PSD_OK;
}

// Section divider: type (1 open folder, 2 closed folder, 3 bounding divider), then from 12 bytes
// on the signature and blend mode of the group.
int psd_read_section_divider(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    layer->section_type = psd_read_u32(ctx);
    if (layer->section_type == 1 || layer->section_type == 2)
        layer->kind = 2;
    else if (layer->section_type == 3)
        layer->kind = 1;
    if (length >= 12) {
        if (psd_read_u32(ctx) != psd_key("8BIM")) return PSD_ERR_SECTION_SIGNATURE;
        layer->section_blend_mode = psd_read_blend_mode(ctx);
    }
    return PSD_OK;
}

// Channel ids the layer's blending is restricted to (the channels left unticked).
int psd_read_blend_restrictions(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    for (uint32_t i = 0; i < length / 4; ++i) {
        const int32_t id = int32_t(psd_read_u32(ctx));
        for (int c = 0; c < layer->channel_count; ++c)
            if (layer->channels[c].id == id) {
                layer->channels[c].restricted = 1;
                break;
            }
    }
    return PSD_OK;
}
