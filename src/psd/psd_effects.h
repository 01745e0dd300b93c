// Layer effects, from the old fixed-layout block "lrFX" and from the descriptor block "lfx2".
// Both give a PsdEffects record, kept as an additional-information entry of the layer (a layer
// with both blocks holds two). Colours are 0xAARRGGBB (with the model a descriptor gave them in),
// blend modes PsdBlendMode values, opacities bytes 0 to 255; angles, distances, sizes and the
// other numbers keep their units (psd_values.h), lengths in pixels.
#pragma once

#include "psd_values.h"

#include <cstdint>

struct PsdShadowEffect {
    uint8_t enabled;
    int32_t blend_mode;
    uint32_t color, native_color;
    PsdModelColor color_model;
    uint8_t opacity;
    PsdUnitValue angle;
    uint8_t use_global_angle;
    PsdUnitValue distance, choke, size;
    PsdContour contour;
    uint8_t anti_aliased;
    PsdUnitValue noise;
    uint8_t layer_knocks_out; // drop shadow only
};

struct PsdGlowEffect {
    uint8_t enabled;
    int32_t blend_mode;
    uint8_t opacity;
    PsdUnitValue noise;
    int32_t fill_type; // 0 colour, 1 gradient
    uint32_t color, native_color;
    PsdModelColor color_model;
    PsdGradient gradient;
    int32_t technique;  // 0 softer, 1 precise
    int32_t source;     // inner glow only: 0 centre, 1 edge
    PsdUnitValue choke; // the outer glow's spread
    PsdUnitValue size;
    PsdContour contour;
    uint8_t anti_aliased;
    PsdUnitValue range, jitter;
};

struct PsdBevelEffect {
    uint8_t enabled;
    int32_t style;     // 0 outer bevel, 1 inner bevel, 2 emboss, 3 pillow emboss, 4 stroke emboss
    int32_t technique; // 0 smooth, 1 chisel hard, 2 chisel soft
    PsdUnitValue depth;
    int32_t direction; // 0 up, 1 down
    PsdUnitValue size, soften, angle;
    PsdUnitValue strength; // the old form's depth in pixels
    uint8_t use_global_angle;
    PsdUnitValue altitude;
    PsdContour gloss_contour;
    uint8_t anti_aliased_gloss;
    int32_t highlight_blend_mode;
    uint32_t highlight_color, highlight_native_color;
    PsdModelColor highlight_color_model;
    uint8_t highlight_opacity;
    int32_t shadow_blend_mode;
    uint32_t shadow_color, shadow_native_color;
    PsdModelColor shadow_color_model;
    uint8_t shadow_opacity;
    uint8_t use_contour;
    PsdContour contour;
    uint8_t anti_aliased_contour;
    PsdUnitValue contour_range;
    uint8_t use_texture;
    PsdPatternRef texture;
    PsdUnitValue texture_scale, texture_depth;
    uint8_t invert_texture, link_texture;
    int32_t texture_phase_horizontal, texture_phase_vertical;
};

struct PsdSatinEffect {
    uint8_t enabled;
    int32_t blend_mode;
    uint32_t color;
    PsdModelColor color_model;
    uint8_t opacity;
    PsdUnitValue angle, distance, size;
    PsdContour contour;
    uint8_t anti_aliased, invert;
};

struct PsdColorOverlayEffect {
    uint8_t enabled;
    int32_t blend_mode;
    uint32_t color;
    PsdModelColor color_model;
    uint8_t opacity;
    uint32_t native_color;
};

struct PsdGradientOverlayEffect {
    uint8_t enabled;
    int32_t blend_mode;
    uint8_t opacity;
    PsdGradient gradient;
    uint8_t reverse;
    int32_t type;
    uint8_t align;
    PsdUnitValue angle, scale;
    int32_t offset_horizontal, offset_vertical;
};

struct PsdPatternOverlayEffect {
    uint8_t enabled;
    int32_t blend_mode;
    uint8_t opacity;
    PsdUnitValue scale;
    uint8_t linked;
    PsdPatternRef pattern;
    int32_t phase_horizontal, phase_vertical;
};

struct PsdStrokeEffect {
    uint8_t enabled;
    PsdUnitValue size;
    int32_t position; // 0 outside, 1 inside, 2 centre
    int32_t blend_mode;
    uint8_t opacity;
    int32_t paint_type; // 0 colour, 1 gradient, 2 pattern
    uint32_t color;
    PsdModelColor color_model;
    PsdGradient gradient;
    uint8_t reverse;
    int32_t gradient_type;
    uint8_t align;
    PsdUnitValue angle, gradient_scale;
    int32_t offset_horizontal, offset_vertical;
    PsdPatternRef pattern;
    PsdUnitValue pattern_scale;
    uint8_t linked;
    int32_t phase_horizontal, phase_vertical;
};

// Index of each effect in the `present` flags.
enum PsdEffectIndex {
    PSD_EFFECT_DROP_SHADOW = 0,
    PSD_EFFECT_INNER_SHADOW = 1,
    PSD_EFFECT_OUTER_GLOW = 2,
    PSD_EFFECT_INNER_GLOW = 3,
    PSD_EFFECT_SATIN = 4,
    PSD_EFFECT_COLOR_OVERLAY = 5,
    PSD_EFFECT_GRADIENT_OVERLAY = 6,
    PSD_EFFECT_PATTERN_OVERLAY = 7,
    PSD_EFFECT_STROKE = 8,
    PSD_EFFECT_BEVEL = 9,
    PSD_EFFECT_COUNT = 10,
};

struct PsdEffects {
    int16_t count; // "lrFX": the block's count field; "lfx2": effects read
    uint8_t master_switch;
    PsdShadowEffect drop_shadow, inner_shadow;
    PsdGlowEffect outer_glow, inner_glow;
    PsdBevelEffect bevel;
    PsdSatinEffect satin;
    PsdColorOverlayEffect color_overlay;
    PsdGradientOverlayEffect gradient_overlay;
    PsdPatternOverlayEffect pattern_overlay;
    PsdStrokeEffect stroke;
    uint8_t present[PSD_EFFECT_COUNT];
    uint8_t present_again[PSD_EFFECT_COUNT]; // set with `present`; kept for the record's layout
};

// The defaults an effect gets when its reader starts (an absent effect stays zero-filled).
void psd_shadow_defaults(PsdShadowEffect* effect);
void psd_glow_defaults(PsdGlowEffect* effect, bool inner);
void psd_bevel_defaults(PsdBevelEffect* effect);
void psd_satin_defaults(PsdSatinEffect* effect);
void psd_color_overlay_defaults(PsdColorOverlayEffect* effect);
void psd_gradient_overlay_defaults(PsdGradientOverlayEffect* effect);
void psd_pattern_overlay_defaults(PsdPatternOverlayEffect* effect);
void psd_stroke_defaults(PsdStrokeEffect* effect);

// Frees what the record owns (gradients and pattern names), then the record.
void psd_free_effects(PsdEffects* effects);
