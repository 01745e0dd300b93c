// The additional-information keys of a layer record and the parser of each. Keys not listed here
// are passed over by their length.
#include "psd_layer_info.h"
#include "psd_layer_reader.h"

namespace {

struct LayerKey {
    uint32_t key;
    PsdLayerKeyParser parse;
};

constexpr LayerKey kLayerKeys[] = {
    {psd_key("lnsr"), psd_read_name_source},
    {psd_key("luni"), psd_read_unicode_name},
    {psd_key("lyid"), psd_read_layer_id},
    {psd_key("lyvr"), psd_read_layer_version},
    {psd_key("clbl"), psd_read_blend_clipped},
    {psd_key("infx"), psd_read_blend_interior},
    {psd_key("knko"), psd_read_knockout},
    {psd_key("tsly"), psd_read_transparency_shapes},
    {psd_key("lmgm"), psd_read_layer_mask_hides_effects},
    {psd_key("vmgm"), psd_read_vector_mask_hides_effects},
    {psd_key("iOpa"), psd_read_fill_opacity},
    {psd_key("lspf"), psd_read_protection},
    {psd_key("lclr"), psd_read_sheet_color},
    {psd_key("fxrp"), psd_read_reference_point},
    {psd_key("lsct"), psd_read_section_divider},
    {psd_key("brst"), psd_read_blend_restrictions},
    // Fill layers.
    {psd_key("SoCo"), psd_parse_solid_color},
    {psd_key("GdFl"), psd_parse_gradient_fill},
    {psd_key("PtFl"), psd_parse_pattern_fill},
    // Adjustment layers.
    {psd_key("brit"), psd_parse_brightness},
    {psd_key("levl"), psd_parse_levels},
    {psd_key("curv"), psd_parse_curves},
    {psd_key("hue2"), psd_parse_hue_saturation},
    {psd_key("selc"), psd_parse_selective_color},
    {psd_key("mixr"), psd_parse_channel_mixer},
    {psd_key("nvrt"), psd_parse_invert},
    {psd_key("post"), psd_parse_posterize},
    {psd_key("thrs"), psd_parse_threshold},
    {psd_key("phfl"), psd_parse_photo_filter},
    {psd_key("grdm"), psd_parse_gradient_map},
    {psd_key("blnc"), psd_parse_color_balance},
    // Type tool (old form) and effects.
    {psd_key("tySh"), psd_parse_type_tool},
    {psd_key("lrFX"), psd_parse_effects_old},
    {psd_key("lfx2"), psd_parse_effects},
};

} // namespace

PsdLayerKeyParser psd_layer_key_parser(uint32_t key) {
    for (const LayerKey& entry : kLayerKeys)
        if (entry.key == key) return entry.parse;
    return nullptr;
}
