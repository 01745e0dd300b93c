// "lfx2": the layer effects as a descriptor (Photoshop 6 and later). Each effect is an item whose
// value is a descriptor of its settings; the reader handles the keys the effect lists, each by
// the kind of its value, and skips every other item.
#include "psd_effects.h"
#include "psd_layer_entry.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kMinItem = 8;
// Depth of an effect's own items: the "lfx2" descriptor is 1, an effect's descriptor 2.
constexpr int kEffectDepth = 2;

// Where one effect keeps what each key holds; a null field is a key the effect does not list.
struct Fields {
    // Booleans.
    uint8_t *enab = nullptr, *uglg = nullptr, *anta = nullptr, *rvrs = nullptr, *algn = nullptr;
    uint8_t *invt = nullptr, *invr = nullptr, *lnkd = nullptr, *antialias_gloss = nullptr;
    uint8_t *use_shape = nullptr, *use_texture = nullptr, *layer_conceals = nullptr;
    // Opacities (percent in the file).
    uint8_t *opct = nullptr, *hglo = nullptr, *sdwo = nullptr;
    // Numbers with their units.
    PsdUnitValue *lagl = nullptr, *dstn = nullptr, *ckmt = nullptr, *blur = nullptr;
    PsdUnitValue *nose = nullptr, *inpr = nullptr, *shdn = nullptr, *sz = nullptr;
    PsdUnitValue *angl = nullptr, *scl = nullptr, *srgr = nullptr, *sftn = nullptr;
    PsdUnitValue *lald = nullptr, *texture_depth = nullptr;
    // Colours, each with its model and the native colour where the effect keeps one.
    uint32_t *clr = nullptr, *clr_native = nullptr, *hglc = nullptr, *hglc_native = nullptr;
    uint32_t *sdwc = nullptr, *sdwc_native = nullptr;
    PsdModelColor *clr_model = nullptr, *hglc_model = nullptr, *sdwc_model = nullptr;
    // Enumerations; a glow's technique has the key "GlwT", a bevel's "bvlT".
    int32_t *md = nullptr, *hglm = nullptr, *sdwm = nullptr, *glwt = nullptr, *bvlt = nullptr;
    int32_t *type = nullptr, *glws = nullptr, *bvls = nullptr, *bvld = nullptr;
    int32_t *styl = nullptr, *pntt = nullptr;
    // Structured values.
    PsdContour *trns = nullptr, *mpgs = nullptr;
    PsdGradient* grad = nullptr;
    int32_t* fill_type = nullptr; // the glows: 0 after a colour, 1 after a gradient
    PsdPatternRef* ptrn = nullptr;
    int32_t *ofst_h = nullptr, *ofst_v = nullptr, *phase_h = nullptr, *phase_v = nullptr;
    bool phase_reset = false;          // the pattern overlay and the stroke keep no phase
    PsdStrokeEffect* stroke = nullptr; // "Scl " goes by the paint type read so far
};

// Named keys (longer than four characters) get codes of their own, below any 4-character key.
enum NamedKey : uint32_t {
    kNoKey = 0,
    kLayerConceals,
    kAntialiasGloss,
    kUseShape,
    kUseTexture,
    kTextureDepth,
    kPhase,
    kPatternFill,
};

uint32_t named_key(const char* name) {
    static constexpr struct {
        const char* name;
        NamedKey key;
    } kNames[] = {{"layerConceals", kLayerConceals}, {"antialiasGloss", kAntialiasGloss},
                  {"useShape", kUseShape},           {"useTexture", kUseTexture},
                  {"textureDepth", kTextureDepth},   {"phase", kPhase},
                  {"patternFill", kPatternFill}};
    for (const auto& entry : kNames)
        if (std::strcmp(entry.name, name) == 0) return entry.key;
    return kNoKey;
}

uint32_t read_key(PsdBlock& block) {
    char name[kPsdMaxKeyName + 1];
    const uint32_t key = psd_read_id(block, name);
    return key != 0 ? key : named_key(name);
}

void drop(PsdContext* ctx, int n) {
    for (int i = 0; i < n; ++i)
        psd_read_u32(ctx);
}

// A number item: a "UntF" keeps its unit, other numeric types have none.
PsdUnitValue unit_value(PsdBlock& block, uint32_t type) {
    if (type == psd_key("UntF")) return psd_read_unit_value(block);
    const double v = psd_read_number(block, type, kEffectDepth);
    return psd_unit(std::isfinite(v) ? v : 0.0);
}

// An enumeration value matched against `keys` (index = field value); unmatched keeps `field`.
void named_enum(PsdBlock& block, int32_t* field, const uint32_t* keys, int count,
                bool stroke_emboss) {
    drop(block.ctx, 2); // the enumeration's type ID
    char name[kPsdMaxKeyName + 1];
    const uint32_t key = psd_read_id(block, name);
    if (key == 0) {
        if (stroke_emboss && std::strcmp(name, "strokeEmboss") == 0) *field = 4;
        return;
    }
    for (int i = 0; i < count; ++i)
        if (keys[i] == key) *field = i;
}

template <class T> void set(T* field, T value) {
    if (field) *field = value;
}

// Handles one item; false when the walk must end (a value nested too deeply).
bool read_item(PsdBlock& block, const Fields& f, uint32_t key, uint32_t type) {
    PsdContext* ctx = block.ctx;
    auto boolean = [&](uint8_t* field) {
        if (!field || type != psd_key("bool")) return false;
        *field = psd_read_bool(ctx);
        return true;
    };
    auto opacity = [&](uint8_t* field) {
        if (!field) return false;
        *field = psd_opacity_byte(psd_read_number(block, type, kEffectDepth));
        return true;
    };
    auto number = [&](PsdUnitValue* field) {
        return field ? (*field = unit_value(block, type), true) : false;
    };
    auto color = [&](uint32_t* field, uint32_t* native, PsdModelColor* model) {
        if (!field || type != psd_key("Objc")) return false;
        const uint32_t c = psd_read_color_object(block, model, kEffectDepth + 1);
        *field = c;
        set(native, c);
        return true;
    };
    auto blend = [&](int32_t* field) {
        if (!field) return false;
        drop(ctx, 2);
        *field = psd_read_blend_enum(block);
        return true;
    };

    bool handled = false;
    switch (key) {
    case psd_key("enab"):
        handled = boolean(f.enab);
        break;
    case psd_key("uglg"):
        handled = boolean(f.uglg);
        break;
    case psd_key("AntA"):
        handled = boolean(f.anta);
        break;
    case psd_key("Rvrs"):
        handled = boolean(f.rvrs);
        break;
    case psd_key("Algn"):
        handled = boolean(f.algn);
        break;
    case psd_key("InvT"):
        handled = boolean(f.invt);
        break;
    case psd_key("Invr"):
        handled = boolean(f.invr);
        break;
    case psd_key("Lnkd"):
        handled = boolean(f.lnkd);
        break;
    case kAntialiasGloss:
        handled = boolean(f.antialias_gloss);
        break;
    case kUseShape:
        handled = boolean(f.use_shape);
        break;
    case kUseTexture:
        handled = boolean(f.use_texture);
        break;
    case kLayerConceals:
        handled = boolean(f.layer_conceals);
        break;
    case psd_key("Opct"):
        handled = opacity(f.opct);
        break;
    case psd_key("hglO"):
        handled = opacity(f.hglo);
        break;
    case psd_key("sdwO"):
        handled = opacity(f.sdwo);
        break;
    case psd_key("lagl"):
        handled = number(f.lagl);
        break;
    case psd_key("Dstn"):
        handled = number(f.dstn);
        break;
    case psd_key("Ckmt"):
        handled = number(f.ckmt);
        break;
    case psd_key("blur"):
        handled = number(f.blur);
        break;
    case psd_key("Nose"):
        handled = number(f.nose);
        break;
    case psd_key("Inpr"):
        handled = number(f.inpr);
        break;
    case psd_key("ShdN"):
        handled = number(f.shdn);
        break;
    case psd_key("Sz  "):
        handled = number(f.sz);
        break;
    case psd_key("Angl"):
        handled = number(f.angl);
        break;
    case psd_key("srgR"):
        handled = number(f.srgr);
        break;
    case psd_key("Sftn"):
        handled = number(f.sftn);
        break;
    case psd_key("Lald"):
        handled = number(f.lald);
        break;
    case kTextureDepth:
        handled = number(f.texture_depth);
        break;
    case psd_key("Scl "):
        if (f.stroke) {
            // The stroke keeps one scale per paint: the value goes to the paint read so far.
            const PsdUnitValue value = unit_value(block, type);
            if (f.stroke->paint_type == 1) f.stroke->gradient_scale = value;
            if (f.stroke->paint_type == 2) f.stroke->pattern_scale = value;
            handled = true;
        } else {
            handled = number(f.scl);
        }
        break;
    case psd_key("Clr "):
        handled = color(f.clr, f.clr_native, f.clr_model);
        if (handled) set(f.fill_type, 0);
        break;
    case psd_key("hglC"):
        handled = color(f.hglc, f.hglc_native, f.hglc_model);
        break;
    case psd_key("sdwC"):
        handled = color(f.sdwc, f.sdwc_native, f.sdwc_model);
        break;
    case psd_key("Md  "):
        handled = blend(f.md);
        break;
    case psd_key("hglM"):
        handled = blend(f.hglm);
        break;
    case psd_key("sdwM"):
        handled = blend(f.sdwm);
        break;
    case psd_key("GlwT"):
    case psd_key("bvlT"):
        if (int32_t* technique = key == psd_key("GlwT") ? f.glwt : f.bvlt) {
            drop(ctx, 2);
            *technique = psd_read_glow_technique(block);
            handled = true;
        }
        break;
    case psd_key("Type"):
        if (f.type) {
            drop(ctx, 2);
            *f.type = psd_read_gradient_type(block);
            handled = true;
        }
        break;
    case psd_key("glwS"):
        if (f.glws) {
            static constexpr uint32_t keys[] = {psd_key("SrcC"), psd_key("SrcE")};
            named_enum(block, f.glws, keys, 2, false);
            handled = true;
        }
        break;
    case psd_key("bvlS"):
        if (f.bvls) {
            static constexpr uint32_t keys[] = {psd_key("OtrB"), psd_key("InrB"), psd_key("Embs"),
                                                psd_key("PlEb")};
            named_enum(block, f.bvls, keys, 4, true);
            handled = true;
        }
        break;
    case psd_key("bvlD"):
        if (f.bvld) {
            static constexpr uint32_t keys[] = {psd_key("In  "), psd_key("Out ")};
            named_enum(block, f.bvld, keys, 2, false);
            handled = true;
        }
        break;
    case psd_key("Styl"):
        if (f.styl) {
            static constexpr uint32_t keys[] = {psd_key("OutF"), psd_key("InsF"), psd_key("CtrF")};
            named_enum(block, f.styl, keys, 3, false);
            handled = true;
        }
        break;
    case psd_key("PntT"):
        if (f.pntt) {
            static constexpr uint32_t keys[] = {psd_key("SClr"), psd_key("GrFl"), psd_key("Ptrn")};
            named_enum(block, f.pntt, keys, 3, false);
            handled = true;
        }
        break;
    case psd_key("TrnS"):
        if (f.trns) psd_read_contour(block, f.trns, kEffectDepth);
        handled = f.trns != nullptr;
        break;
    case psd_key("MpgS"):
        if (f.mpgs) psd_read_contour(block, f.mpgs, kEffectDepth);
        handled = f.mpgs != nullptr;
        break;
    case psd_key("Grad"):
        if (f.grad) {
            psd_read_gradient(block, f.grad, kEffectDepth);
            set(f.fill_type, 1);
            handled = true;
        }
        break;
    case psd_key("Ptrn"):
        if (f.ptrn) psd_read_pattern_ref(block, f.ptrn, kEffectDepth);
        handled = f.ptrn != nullptr;
        break;
    case psd_key("Ofst"):
        if (f.ofst_h) psd_read_point(block, f.ofst_h, f.ofst_v, kEffectDepth);
        handled = f.ofst_h != nullptr;
        break;
    case kPhase:
        if (f.phase_h) {
            psd_read_point(block, f.phase_h, f.phase_v, kEffectDepth);
            if (f.phase_reset) *f.phase_h = *f.phase_v = 0;
            handled = true;
        }
        break;
    default:
        break;
    }
    return handled || psd_skip_descriptor_value(block, type, kEffectDepth);
}

// One effect's descriptor: name, class ID, then its items.
void read_effect(PsdBlock& block, const Fields& fields) {
    psd_skip_unicode(block);
    psd_skip_id(block);
    const uint32_t count = block.bound(psd_read_u32(block.ctx), kMinItem);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        const uint32_t key = read_key(block);
        const uint32_t type = psd_read_u32(block.ctx);
        if (!read_item(block, fields, key, type)) break;
    }
}

void read_shadow(PsdBlock& block, PsdShadowEffect* e, bool drop_shadow) {
    psd_shadow_defaults(e);
    Fields f;
    f.enab = &e->enabled;
    f.md = &e->blend_mode;
    f.clr = &e->color;
    f.clr_native = &e->native_color;
    f.clr_model = &e->color_model;
    f.opct = &e->opacity;
    f.lagl = &e->angle;
    f.uglg = &e->use_global_angle;
    f.dstn = &e->distance;
    f.ckmt = &e->choke;
    f.blur = &e->size;
    f.trns = &e->contour;
    f.anta = &e->anti_aliased;
    f.nose = &e->noise;
    if (drop_shadow) f.layer_conceals = &e->layer_knocks_out;
    read_effect(block, f);
}

void read_glow(PsdBlock& block, PsdGlowEffect* e, bool inner) {
    psd_glow_defaults(e, inner);
    Fields f;
    f.enab = &e->enabled;
    f.md = &e->blend_mode;
    f.opct = &e->opacity;
    f.nose = &e->noise;
    f.clr = &e->color;
    f.clr_native = &e->native_color;
    f.clr_model = &e->color_model;
    f.fill_type = &e->fill_type;
    f.grad = &e->gradient;
    f.glwt = &e->technique;
    if (inner) f.glws = &e->source;
    f.ckmt = &e->choke;
    f.blur = &e->size;
    f.trns = &e->contour;
    f.anta = &e->anti_aliased;
    f.inpr = &e->range;
    f.shdn = &e->jitter;
    read_effect(block, f);
}

void read_bevel(PsdBlock& block, PsdBevelEffect* e) {
    psd_bevel_defaults(e);
    Fields f;
    f.enab = &e->enabled;
    f.bvls = &e->style;
    f.bvlt = &e->technique;
    f.srgr = &e->depth;
    f.bvld = &e->direction;
    f.blur = &e->size;
    f.sftn = &e->soften;
    f.lagl = &e->angle;
    f.uglg = &e->use_global_angle;
    f.lald = &e->altitude;
    f.trns = &e->gloss_contour;
    f.antialias_gloss = &e->anti_aliased_gloss;
    f.hglm = &e->highlight_blend_mode;
    f.hglc = &e->highlight_color;
    f.hglc_native = &e->highlight_native_color;
    f.hglc_model = &e->highlight_color_model;
    f.hglo = &e->highlight_opacity;
    f.sdwm = &e->shadow_blend_mode;
    f.sdwc = &e->shadow_color;
    f.sdwc_native = &e->shadow_native_color;
    f.sdwc_model = &e->shadow_color_model;
    f.sdwo = &e->shadow_opacity;
    f.use_shape = &e->use_contour;
    f.mpgs = &e->contour;
    f.anta = &e->anti_aliased_contour;
    f.inpr = &e->contour_range;
    f.use_texture = &e->use_texture;
    f.ptrn = &e->texture;
    f.scl = &e->texture_scale;
    f.texture_depth = &e->texture_depth;
    f.invt = &e->invert_texture;
    f.algn = &e->link_texture;
    f.phase_h = &e->texture_phase_horizontal;
    f.phase_v = &e->texture_phase_vertical;
    read_effect(block, f);
}

void read_satin(PsdBlock& block, PsdSatinEffect* e) {
    psd_satin_defaults(e);
    Fields f;
    f.enab = &e->enabled;
    f.md = &e->blend_mode;
    f.clr = &e->color;
    f.clr_model = &e->color_model;
    f.opct = &e->opacity;
    f.lagl = &e->angle;
    f.dstn = &e->distance;
    f.blur = &e->size;
    f.mpgs = &e->contour;
    f.anta = &e->anti_aliased;
    f.invr = &e->invert;
    read_effect(block, f);
}

void read_color_overlay(PsdBlock& block, PsdColorOverlayEffect* e) {
    psd_color_overlay_defaults(e);
    Fields f;
    f.enab = &e->enabled;
    f.md = &e->blend_mode;
    f.clr = &e->color;
    f.clr_native = &e->native_color;
    f.clr_model = &e->color_model;
    f.opct = &e->opacity;
    read_effect(block, f);
}

void read_gradient_overlay(PsdBlock& block, PsdGradientOverlayEffect* e) {
    psd_gradient_overlay_defaults(e);
    Fields f;
    f.enab = &e->enabled;
    f.md = &e->blend_mode;
    f.opct = &e->opacity;
    f.grad = &e->gradient;
    f.rvrs = &e->reverse;
    f.type = &e->type;
    f.algn = &e->align;
    f.angl = &e->angle;
    f.scl = &e->scale;
    f.ofst_h = &e->offset_horizontal;
    f.ofst_v = &e->offset_vertical;
    read_effect(block, f);
}

void read_pattern_overlay(PsdBlock& block, PsdPatternOverlayEffect* e) {
    psd_pattern_overlay_defaults(e);
    Fields f;
    f.enab = &e->enabled;
    f.md = &e->blend_mode;
    f.opct = &e->opacity;
    f.scl = &e->scale;
    f.algn = &e->linked;
    f.ptrn = &e->pattern;
    f.phase_h = &e->phase_horizontal;
    f.phase_v = &e->phase_vertical;
    f.phase_reset = true;
    read_effect(block, f);
}

void read_stroke(PsdBlock& block, PsdStrokeEffect* e) {
    psd_stroke_defaults(e);
    Fields f;
    f.enab = &e->enabled;
    f.sz = &e->size;
    f.styl = &e->position;
    f.md = &e->blend_mode;
    f.opct = &e->opacity;
    f.pntt = &e->paint_type;
    f.clr = &e->color;
    f.clr_model = &e->color_model;
    f.grad = &e->gradient;
    f.rvrs = &e->reverse;
    f.type = &e->gradient_type;
    f.algn = &e->align;
    f.angl = &e->angle;
    f.ofst_h = &e->offset_horizontal;
    f.ofst_v = &e->offset_vertical;
    f.ptrn = &e->pattern;
    f.lnkd = &e->linked;
    f.phase_h = &e->phase_horizontal;
    f.phase_v = &e->phase_vertical;
    f.phase_reset = true;
    f.stroke = e;
    read_effect(block, f);
}

// Reads the effect an "lfx2" item names; its index in `present`, or -1 for another key.
int read_named_effect(PsdBlock& block, PsdEffects* fx, uint32_t key) {
    switch (key) {
    case kPatternFill:
        return read_pattern_overlay(block, &fx->pattern_overlay), PSD_EFFECT_PATTERN_OVERLAY;
    case psd_key("DrSh"):
        return read_shadow(block, &fx->drop_shadow, true), PSD_EFFECT_DROP_SHADOW;
    case psd_key("IrSh"):
        return read_shadow(block, &fx->inner_shadow, false), PSD_EFFECT_INNER_SHADOW;
    case psd_key("OrGl"):
        return read_glow(block, &fx->outer_glow, false), PSD_EFFECT_OUTER_GLOW;
    case psd_key("IrGl"):
        return read_glow(block, &fx->inner_glow, true), PSD_EFFECT_INNER_GLOW;
    case psd_key("ChFX"):
        return read_satin(block, &fx->satin), PSD_EFFECT_SATIN;
    case psd_key("SoFi"):
        return read_color_overlay(block, &fx->color_overlay), PSD_EFFECT_COLOR_OVERLAY;
    case psd_key("GrFl"):
        return read_gradient_overlay(block, &fx->gradient_overlay), PSD_EFFECT_GRADIENT_OVERLAY;
    case psd_key("FrFX"):
        return read_stroke(block, &fx->stroke), PSD_EFFECT_STROKE;
    case psd_key("ebbl"):
        return read_bevel(block, &fx->bevel), PSD_EFFECT_BEVEL;
    default:
        return -1;
    }
}

} // namespace

void psd_shadow_defaults(PsdShadowEffect* e) {
    std::memset(e, 0, sizeof *e);
    e->blend_mode = PSD_BLEND_MULTIPLY;
    e->color = e->native_color = 0xFF000000;
    e->opacity = 191;
    e->angle = psd_unit(120);
    e->use_global_angle = 1;
    e->distance = psd_unit(5);
    e->size = psd_unit(5);
    psd_contour_identity(&e->contour);
}

void psd_glow_defaults(PsdGlowEffect* e, bool inner) {
    psd_free_gradient(&e->gradient);
    std::memset(e, 0, sizeof *e);
    e->blend_mode = PSD_BLEND_SCREEN;
    e->opacity = 191;
    e->color = e->native_color = 0xFFFFFFBE;
    e->source = inner ? 1 : 0;
    e->size = psd_unit(5);
    psd_contour_identity(&e->contour);
    e->range = psd_unit(50);
}

void psd_bevel_defaults(PsdBevelEffect* e) {
    psd_free_pattern_ref(&e->texture);
    std::memset(e, 0, sizeof *e);
    e->style = 1;
    e->technique = 2;
    e->depth = psd_unit(100);
    e->size = psd_unit(5);
    e->angle = psd_unit(120);
    e->use_global_angle = 1;
    e->altitude = psd_unit(30);
    psd_contour_identity(&e->gloss_contour);
    e->highlight_blend_mode = PSD_BLEND_SCREEN;
    e->highlight_color = e->highlight_native_color = 0xFFFFFFFF;
    e->highlight_opacity = 191;
    e->shadow_blend_mode = PSD_BLEND_SCREEN;
    e->shadow_color = e->shadow_native_color = 0xFF000000;
    e->shadow_opacity = 191;
    psd_contour_identity(&e->contour);
    e->contour_range = psd_unit(50);
    e->texture_scale = psd_unit(100);
    e->texture_depth = psd_unit(100);
    e->link_texture = 1;
}

void psd_satin_defaults(PsdSatinEffect* e) {
    std::memset(e, 0, sizeof *e);
    e->blend_mode = PSD_BLEND_MULTIPLY;
    e->color = 0xFF000000;
    e->opacity = 128;
    e->angle = psd_unit(19);
    e->distance = psd_unit(11);
    e->size = psd_unit(14);
    psd_contour_identity(&e->contour);
    e->invert = 1;
}

void psd_color_overlay_defaults(PsdColorOverlayEffect* e) {
    std::memset(e, 0, sizeof *e);
    e->color = 0xFFFF0000;
    e->opacity = 255;
}

void psd_gradient_overlay_defaults(PsdGradientOverlayEffect* e) {
    psd_free_gradient(&e->gradient);
    std::memset(e, 0, sizeof *e);
    e->opacity = 255;
    e->align = 1;
    e->angle = psd_unit(90);
    e->scale = psd_unit(100);
}

void psd_pattern_overlay_defaults(PsdPatternOverlayEffect* e) {
    psd_free_pattern_ref(&e->pattern);
    std::memset(e, 0, sizeof *e);
    e->opacity = 255;
    e->scale = psd_unit(100);
    e->linked = 1;
}

void psd_stroke_defaults(PsdStrokeEffect* e) {
    psd_free_gradient(&e->gradient);
    psd_free_pattern_ref(&e->pattern);
    std::memset(e, 0, sizeof *e);
    e->size = psd_unit(3);
    e->opacity = 255;
    e->color = 0xFFFF0000;
    e->align = 1;
    e->angle = psd_unit(90);
    e->gradient_scale = psd_unit(100);
    e->pattern_scale = psd_unit(100);
    e->linked = 1;
}

void psd_free_effects(PsdEffects* fx) {
    if (!fx) return;
    psd_free_pattern_ref(&fx->bevel.texture);
    psd_free_pattern_ref(&fx->pattern_overlay.pattern);
    psd_free_pattern_ref(&fx->stroke.pattern);
    psd_free_gradient(&fx->outer_glow.gradient);
    psd_free_gradient(&fx->inner_glow.gradient);
    psd_free_gradient(&fx->gradient_overlay.gradient);
    psd_free_gradient(&fx->stroke.gradient);
    std::free(fx);
}

int psd_parse_effects(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    PsdEffects* fx = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_EFFECTS, 0, fx)) return psd_entry_not_added(s);
    PsdBlock block = psd_block(ctx, length);
    if (psd_read_u32(ctx) != 0) return PSD_ERR_EFFECTS_VERSION;  // object effects version
    if (psd_read_u32(ctx) != 16) return PSD_ERR_EFFECTS_VERSION; // descriptor version
    psd_skip_unicode(block);
    psd_skip_id(block);
    uint32_t count = block.bound(psd_read_u32(ctx), kMinItem);
    while (count > 0 && block.left() > 0) {
        --count;
        const uint32_t key = read_key(block);
        const uint32_t type = psd_read_u32(ctx);
        const int index = read_named_effect(block, fx, key);
        if (index >= 0) {
            fx->present[index] = fx->present_again[index] = 1;
            if (fx->count < INT16_MAX) ++fx->count;
        } else if (key == psd_key("Scl ")) {
            psd_read_u32(ctx);
            psd_read_f64(ctx);
            // The item after the scale is the master switch; a scale that is the last item
            // leaves nothing to take as one.
            if (count == 0) break;
            --count;
            psd_skip_id(block);
            psd_read_u32(ctx);
            fx->master_switch = psd_read_bool(ctx);
        } else if (!psd_skip_descriptor_value(block, type, 1)) {
            break;
        }
    }
    return PSD_OK;
}
