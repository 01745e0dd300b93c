// The additional-information keys of a layer record and the parser of each. Keys not listed here
// are passed over by their length.
#include "psd_composite.h"
#include "psd_layer_info.h"
#include "psd_layer_reader.h"

namespace {

// Blocks of one fixed field: a 32-bit value, a flag stored as one byte and three of padding, or
// a byte and three of padding.
template <uint32_t PsdLayerRecord::*field>
int read_u32(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    layer->*field = psd_read_u32(ctx);
    return PSD_OK;
}
template <uint8_t PsdLayerRecord::*field>
int read_padded_flag(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    layer->*field = psd_read_bool(ctx);
    psd_skip(ctx, 3);
    return PSD_OK;
}
template <uint8_t PsdLayerRecord::*field>
int read_padded_byte(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    layer->*field = psd_read_u8(ctx);
    psd_skip(ctx, 3);
    return PSD_OK;
}

// Blocks only noted, for what the compositor leaves out.
template <uint32_t flag> int note_unrendered(PsdContext*, PsdLayerRecord* layer, uint32_t) {
    layer->unrendered |= flag;
    return PSD_OK;
}

struct LayerKey {
    uint32_t key;
    PsdLayerKeyParser parse;
};

constexpr LayerKey kLayerKeys[] = {
    {psd_key("lnsr"), read_u32<&PsdLayerRecord::name_source>},
    {psd_key("luni"), psd_read_unicode_name},
    {psd_key("lyid"), read_u32<&PsdLayerRecord::layer_id>},
    {psd_key("lyvr"), read_u32<&PsdLayerRecord::layer_version>},
    {psd_key("clbl"), read_padded_flag<&PsdLayerRecord::blend_clipped_elements>},
    {psd_key("infx"), read_padded_flag<&PsdLayerRecord::blend_interior_elements>},
    {psd_key("knko"), read_padded_flag<&PsdLayerRecord::knockout>},
    {psd_key("tsly"), read_padded_flag<&PsdLayerRecord::transparency_shapes_layer>},
    {psd_key("lmgm"), read_padded_flag<&PsdLayerRecord::layer_mask_hides_effects>},
    {psd_key("vmgm"), read_padded_flag<&PsdLayerRecord::vector_mask_hides_effects>},
    {psd_key("iOpa"), read_padded_byte<&PsdLayerRecord::fill_opacity>},
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
    // Vector masks and smart objects.
    {psd_key("vmsk"), note_unrendered<PSD_UNRENDERED_VECTOR_MASKS>},
    {psd_key("vsms"), note_unrendered<PSD_UNRENDERED_VECTOR_MASKS>},
    {psd_key("SoLd"), note_unrendered<PSD_UNRENDERED_SMART_OBJECTS>},
    {psd_key("PlLd"), note_unrendered<PSD_UNRENDERED_SMART_OBJECTS>},
    {psd_key("SoLE"), note_unrendered<PSD_UNRENDERED_SMART_OBJECTS>},
};

} // namespace

PsdLayerKeyParser psd_layer_key_parser(uint32_t key) {
    for (const LayerKey& entry : kLayerKeys)
        if (entry.key == key) return entry.parse;
    return nullptr;
}
