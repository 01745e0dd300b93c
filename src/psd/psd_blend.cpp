// Blend-mode keys: the 4-character keys of layer records, section dividers and effects, and the
// PsdBlendMode each stands for.
#include "psd_internal.h"

namespace {

struct BlendKey {
    uint32_t key;
    PsdBlendMode mode;
};

constexpr BlendKey kBlendKeys[] = {
    {psd_key("norm"), PSD_BLEND_NORMAL},       {psd_key("diss"), PSD_BLEND_DISSOLVE},
    {psd_key("dark"), PSD_BLEND_DARKEN},       {psd_key("mul "), PSD_BLEND_MULTIPLY},
    {psd_key("idiv"), PSD_BLEND_COLOR_BURN},   {psd_key("lbrn"), PSD_BLEND_LINEAR_BURN},
    {psd_key("lite"), PSD_BLEND_LIGHTEN},      {psd_key("scrn"), PSD_BLEND_SCREEN},
    {psd_key("div "), PSD_BLEND_COLOR_DODGE},  {psd_key("lddg"), PSD_BLEND_LINEAR_DODGE},
    {psd_key("over"), PSD_BLEND_OVERLAY},      {psd_key("sLit"), PSD_BLEND_SOFT_LIGHT},
    {psd_key("hLit"), PSD_BLEND_HARD_LIGHT},   {psd_key("vLit"), PSD_BLEND_VIVID_LIGHT},
    {psd_key("lLit"), PSD_BLEND_LINEAR_LIGHT}, {psd_key("pLit"), PSD_BLEND_PIN_LIGHT},
    {psd_key("hMix"), PSD_BLEND_HARD_MIX},     {psd_key("diff"), PSD_BLEND_DIFFERENCE},
    {psd_key("smud"), PSD_BLEND_EXCLUSION},    {psd_key("hue "), PSD_BLEND_HUE},
    {psd_key("sat "), PSD_BLEND_SATURATION},   {psd_key("colr"), PSD_BLEND_COLOR},
    {psd_key("lum "), PSD_BLEND_LUMINOSITY},   {psd_key("pass"), PSD_BLEND_PASS_THROUGH},
    {psd_key("dkCl"), PSD_BLEND_DARKER_COLOR}, {psd_key("lgCl"), PSD_BLEND_LIGHTER_COLOR},
    {psd_key("fsub"), PSD_BLEND_SUBTRACT},     {psd_key("fdiv"), PSD_BLEND_DIVIDE},
};

} // namespace

PsdBlendMode psd_blend_mode_from_key(uint32_t key) {
    for (const BlendKey& entry : kBlendKeys)
        if (entry.key == key) return entry.mode;
    return PSD_BLEND_NORMAL; // unknown keys draw as normal
}

PsdBlendMode psd_read_blend_mode(PsdContext* ctx) {
    return psd_blend_mode_from_key(psd_read_u32(ctx));
}
