// The additional-information keys of a layer record and the parser of each. Keys not listed here
// are passed over by their length; so are, until their parsers are in, the adjustment, fill,
// type and effects keys.
#include "psd_layer_reader.h"

namespace {

// Reads nothing: the layer reader moves to the block's end.
int skip_by_length(PsdContext*, PsdLayerRecord*, uint32_t) {
    return PSD_OK;
}

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
    {psd_key("SoCo"), skip_by_length},
    {psd_key("GdFl"), skip_by_length},
    {psd_key("PtFl"), skip_by_length},
    // Adjustment layers.
    {psd_key("brit"), skip_by_length},
    {psd_key("levl"), skip_by_length},
    {psd_key("curv"), skip_by_length},
    {psd_key("hue2"), skip_by_length},
    {psd_key("selc"), skip_by_length},
    {psd_key("mixr"), skip_by_length},
    {psd_key("nvrt"), skip_by_length},
    {psd_key("post"), skip_by_length},
    {psd_key("thrs"), skip_by_length},
    {psd_key("phfl"), skip_by_length},
    {psd_key("grdm"), skip_by_length},
    {psd_key("blnc"), skip_by_length},
    // Type tool (old form) and effects.
    {psd_key("tySh"), skip_by_length},
    {psd_key("lrFX"), skip_by_length},
    {psd_key("lfx2"), skip_by_length},
};

} // namespace

PsdLayerKeyParser psd_layer_key_parser(uint32_t key) {
    for (const LayerKey& entry : kLayerKeys)
        if (entry.key == key) return entry.parse;
    return nullptr;
}
