// "lrFX": the layer effects of files written before Photoshop 6, a count of fixed-layout effect
// records (common state, shadows, glows, bevel, solid fill), each led by its size and version.
#include "psd_effects.h"
#include "psd_layer_entry.h"

namespace {

// Codes the effect readers stop with; their caller goes on with the next effect.
constexpr int kStopped = -1;

// The old form stores its sizes, intensities and angles as signed 16.16 fixed point: a shadow
// angle of -170 degrees is 0xFF560000, a distance of 2.5 pixels 0x00028000. They carry no unit:
// the layout says pixels, percent or degrees.
PsdUnitValue fixed_value(PsdContext* ctx) {
    return psd_unit(int32_t(psd_read_u32(ctx)) / 65536.0);
}

bool blend_signature(PsdContext* ctx) {
    return psd_read_u32(ctx) == psd_key("8BIM");
}

int read_shadow(PsdContext* ctx, PsdShadowEffect* e) {
    const uint32_t version = psd_read_u32(ctx);
    if (version != 0 && version != 2) return kStopped;
    e->size = fixed_value(ctx);  // blur, pixels
    e->choke = fixed_value(ctx); // intensity, percent
    e->angle = fixed_value(ctx);
    e->distance = fixed_value(ctx);
    e->color = psd_read_color(ctx);
    if (!blend_signature(ctx)) return kStopped;
    e->blend_mode = psd_read_blend_mode(ctx);
    e->enabled = psd_read_bool(ctx);
    e->use_global_angle = psd_read_bool(ctx);
    e->opacity = psd_read_u8(ctx);
    if (version == 2) e->native_color = psd_read_color(ctx);
    return PSD_OK;
}

int read_glow(PsdContext* ctx, PsdGlowEffect* e, bool inner) {
    const uint32_t version = psd_read_u32(ctx);
    if (version != 0 && version != 2) return kStopped;
    e->size = fixed_value(ctx);  // blur, pixels
    e->choke = fixed_value(ctx); // intensity, percent
    e->color = psd_read_color(ctx);
    if (!blend_signature(ctx)) return kStopped;
    e->blend_mode = psd_read_blend_mode(ctx);
    e->enabled = psd_read_bool(ctx);
    e->opacity = psd_read_u8(ctx);
    if (version == 2) {
        if (inner && psd_read_bool(ctx)) e->source = 0; // inverted: from the centre
        e->native_color = psd_read_color(ctx);
    }
    return PSD_OK;
}

int read_bevel(PsdContext* ctx, PsdBevelEffect* e) {
    const uint32_t version = psd_read_u32(ctx);
    if (version != 0 && version != 2) return kStopped;
    // The angle, the strength (a depth in pixels, which the descriptor form has no field for) and
    // the blur, which became the descriptor form's size (its key there is still "blur").
    e->angle = fixed_value(ctx);
    e->strength = fixed_value(ctx);
    e->size = fixed_value(ctx);
    if (!blend_signature(ctx)) return kStopped;
    e->highlight_blend_mode = psd_read_blend_mode(ctx);
    if (!blend_signature(ctx)) return kStopped;
    e->shadow_blend_mode = psd_read_blend_mode(ctx);
    e->highlight_color = psd_read_color(ctx);
    e->shadow_color = psd_read_color(ctx);
    e->style = psd_read_u8(ctx);
    e->highlight_opacity = psd_read_u8(ctx);
    e->shadow_opacity = psd_read_u8(ctx);
    e->enabled = psd_read_bool(ctx);
    e->use_global_angle = psd_read_bool(ctx);
    e->direction = psd_read_u8(ctx);
    if (version == 2) {
        e->highlight_native_color = psd_read_color(ctx);
        e->shadow_native_color = psd_read_color(ctx);
    }
    return PSD_OK;
}

int read_color_overlay(PsdContext* ctx, PsdColorOverlayEffect* e) {
    if (psd_read_u32(ctx) != 2) return kStopped;
    if (!blend_signature(ctx)) return kStopped;
    e->blend_mode = psd_read_blend_mode(ctx);
    e->color = psd_read_color(ctx);
    e->opacity = psd_read_u8(ctx);
    e->enabled = psd_read_bool(ctx);
    e->native_color = psd_read_color(ctx);
    return PSD_OK;
}

// Reads one effect; false for a key the block may not hold.
bool read_effect(PsdContext* ctx, PsdEffects* fx, uint32_t key) {
    int index = -1;
    switch (key) {
    case psd_key("dsdw"):
        psd_shadow_defaults(&fx->drop_shadow);
        read_shadow(ctx, &fx->drop_shadow);
        index = PSD_EFFECT_DROP_SHADOW;
        break;
    case psd_key("isdw"):
        psd_shadow_defaults(&fx->inner_shadow);
        read_shadow(ctx, &fx->inner_shadow);
        index = PSD_EFFECT_INNER_SHADOW;
        break;
    case psd_key("oglw"):
        psd_glow_defaults(&fx->outer_glow, false);
        read_glow(ctx, &fx->outer_glow, false);
        index = PSD_EFFECT_OUTER_GLOW;
        break;
    case psd_key("iglw"):
        psd_glow_defaults(&fx->inner_glow, true);
        read_glow(ctx, &fx->inner_glow, true);
        index = PSD_EFFECT_INNER_GLOW;
        break;
    case psd_key("bevl"):
        psd_bevel_defaults(&fx->bevel);
        read_bevel(ctx, &fx->bevel);
        index = PSD_EFFECT_BEVEL;
        break;
    case psd_key("sofi"):
        psd_color_overlay_defaults(&fx->color_overlay);
        read_color_overlay(ctx, &fx->color_overlay);
        index = PSD_EFFECT_COLOR_OVERLAY;
        break;
    default:
        return false;
    }
    fx->present[index] = fx->present_again[index] = 1;
    return true;
}

} // namespace

int psd_parse_effects_old(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    PsdEffects* fx = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_EFFECTS_OLD, 0, fx)) return psd_entry_not_added(s);
    PsdBlock block = psd_block(ctx, length);
    if (psd_read_u16(ctx) != 0) return PSD_ERR_EFFECTS_VERSION;
    fx->count = int16_t(psd_read_u16(ctx));
    if (fx->count < 1) return PSD_OK;
    // Every effect is at least its signature, key and size.
    const uint32_t count = block.bound(uint32_t(fx->count), 12);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        if (psd_read_u32(ctx) != psd_key("8BIM")) return PSD_ERR_EFFECT_SIGNATURE;
        const uint32_t key = psd_read_u32(ctx);
        const uint32_t size = psd_read_u32(ctx);
        const uint64_t start = block.position();
        if (key == psd_key("cmnS")) {
            if (psd_read_u32(ctx) != 0) return PSD_ERR_EFFECTS_COMMON_VERSION;
            fx->master_switch = psd_read_bool(ctx);
            psd_read_u16(ctx);
        } else if (!read_effect(ctx, fx, key)) {
            return PSD_ERR_EFFECT_KEY;
        }
        // Each record gives its size: a record that stopped early, or carries more than its
        // version's layout, leaves the next one where its size says.
        const uint64_t next = start + size;
        if (next > block.position() && next <= block.end)
            psd_skip(ctx, int64_t(next - block.position()));
    }
    return PSD_OK;
}
