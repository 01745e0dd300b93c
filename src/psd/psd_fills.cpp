// Fill layers: solid colour ("SoCo"), gradient ("GdFl") and pattern ("PtFl"), each a descriptor
// of version 16.
#include "psd_layer_entry.h"

namespace {

constexpr uint32_t kDescriptorVersion = 16;
constexpr uint32_t kMinItem = 8;

// The class ID of a fill descriptor: its key, or 0 when the class is given as a name.
uint32_t read_class(PsdBlock& block) {
    return psd_read_id(block, nullptr);
}

int32_t read_unit_value(PsdContext* ctx) {
    psd_read_u32(ctx); // unit
    return psd_double_to_i32(psd_read_f64(ctx));
}

} // namespace

int psd_parse_solid_color(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    PsdSolidColorFill* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_SOLID_COLOR, PSD_KIND_SOLID_COLOR, r))
        return psd_entry_not_added(s);
    PsdBlock block = psd_block(ctx, length);
    if (psd_read_u32(ctx) != kDescriptorVersion) return PSD_ERR_SOLID_COLOR_VERSION;
    psd_skip_unicode(block);
    psd_read_u32(ctx); // class ID length
    r->class_id = psd_read_u32(ctx);
    for (int i = 0; i < 4; ++i) // item count, the colour item's key ID and type
        psd_read_u32(ctx);
    r->color = psd_read_color_object(block, &r->color_model, 2);
    return PSD_OK;
}

int psd_parse_gradient_fill(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    PsdGradientFill* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_GRADIENT_FILL, PSD_KIND_GRADIENT_FILL, r))
        return psd_entry_not_added(s);
    PsdBlock block = psd_block(ctx, length);
    if (psd_read_u32(ctx) != kDescriptorVersion) return PSD_ERR_GRADIENT_FILL_VERSION;
    r->scale = 100;
    r->align = 1;
    psd_skip_unicode(block);
    r->class_id = read_class(block);
    const uint32_t count = block.bound(psd_read_u32(ctx), kMinItem);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        const uint32_t key = psd_read_id(block, nullptr);
        const uint32_t type = psd_read_u32(ctx);
        switch (key) {
        case psd_key("Grad"):
            psd_read_gradient(block, &r->gradient, 1);
            break;
        case psd_key("Algn"):
            r->align = psd_read_bool(ctx);
            break;
        case psd_key("Angl"):
            psd_read_u32(ctx);
            r->angle = psd_read_f64(ctx);
            break;
        case psd_key("Dthr"):
            r->dither = psd_read_bool(ctx);
            break;
        case psd_key("Rvrs"):
            r->reverse = psd_read_bool(ctx);
            break;
        case psd_key("Scl "):
            r->scale = read_unit_value(ctx);
            break;
        case psd_key("Type"):
            psd_read_u32(ctx); // the enumeration's type ID
            psd_read_u32(ctx);
            r->type = psd_read_gradient_type(block);
            break;
        default:
            if (!psd_skip_descriptor_value(block, type, 1)) return PSD_OK;
            break;
        }
    }
    return PSD_OK;
}

int psd_parse_pattern_fill(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    PsdPatternFill* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_PATTERN_FILL, PSD_KIND_PATTERN_FILL, r))
        return psd_entry_not_added(s);
    PsdBlock block = psd_block(ctx, length);
    if (psd_read_u32(ctx) != kDescriptorVersion) return PSD_ERR_PATTERN_FILL_VERSION;
    psd_skip_unicode(block);
    r->class_id = read_class(block);
    const uint32_t count = block.bound(psd_read_u32(ctx), kMinItem);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        const uint32_t key = psd_read_id(block, nullptr);
        const uint32_t type = psd_read_u32(ctx);
        if (key == psd_key("Scl ")) {
            r->scale = read_unit_value(ctx);
        } else if (key == psd_key("Ptrn")) {
            psd_read_pattern_ref(block, &r->pattern, 1);
        } else if (!psd_skip_descriptor_value(block, type, 1)) {
            break;
        }
    }
    return PSD_OK;
}
