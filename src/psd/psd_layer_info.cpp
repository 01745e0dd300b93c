// A layer's additional-information entries: registering one with its record, the parser for
// each key, and the release of a record by its entry type.
#include "psd_layer_info.h"
#include "psd_effects.h"

#include <cstdlib>

int psd_add_layer_entry(PsdLayerRecord* layer, uint32_t type, size_t size, void** record) {
    *record = nullptr;
    if (layer->info_count < 0 || layer->info_count >= kPsdMaxLayerInfo)
        return PSD_LAYER_ENTRIES_FULL;
    void* data = nullptr;
    if (size > 0) {
        data = std::calloc(1, size);
        if (!data) return PSD_ERR_MEMORY;
    }
    layer->info_keys[layer->info_count] = type;
    layer->info_data[layer->info_count] = data;
    ++layer->info_count;
    *record = data;
    return PSD_OK;
}

void psd_free_layer_entry(uint32_t type, void* record) {
    if (!record) return;
    switch (type) {
    case PSD_ENTRY_LEVELS:
        std::free(static_cast<PsdLevels*>(record)->extra);
        break;
    case PSD_ENTRY_CURVES:
        std::free(static_cast<PsdCurves*>(record)->curves);
        break;
    case PSD_ENTRY_GRADIENT_MAP: {
        auto* map = static_cast<PsdGradientMap*>(record);
        std::free(map->name);
        std::free(map->color_stops);
        std::free(map->opacity_stops);
        break;
    }
    case PSD_ENTRY_TYPE_TOOL: {
        auto* type_tool = static_cast<PsdTypeTool*>(record);
        for (int i = 0; type_tool->faces && i < type_tool->face_count; ++i)
            std::free(type_tool->faces[i].design_vector);
        std::free(type_tool->faces);
        std::free(type_tool->styles);
        std::free(type_tool->lines);
        break;
    }
    case PSD_ENTRY_EFFECTS_OLD:
    case PSD_ENTRY_EFFECTS:
        psd_free_effects(static_cast<PsdEffects*>(record));
        return;
    case PSD_ENTRY_GRADIENT_FILL:
        psd_free_gradient(&static_cast<PsdGradientFill*>(record)->gradient);
        break;
    case PSD_ENTRY_PATTERN_FILL:
        psd_free_pattern_ref(&static_cast<PsdPatternFill*>(record)->pattern);
        break;
    default:
        break;
    }
    std::free(record);
}

PsdLayerInfoParser psd_layer_info_parser(uint32_t key) {
    static constexpr struct {
        uint32_t key;
        PsdLayerInfoParser parser;
    } kParsers[] = {
        {psd_key("levl"), psd_parse_levels},         {psd_key("curv"), psd_parse_curves},
        {psd_key("brit"), psd_parse_brightness},     {psd_key("blnc"), psd_parse_color_balance},
        {psd_key("hue2"), psd_parse_hue_saturation}, {psd_key("selc"), psd_parse_selective_color},
        {psd_key("thrs"), psd_parse_threshold},      {psd_key("nvrt"), psd_parse_invert},
        {psd_key("post"), psd_parse_posterize},      {psd_key("mixr"), psd_parse_channel_mixer},
        {psd_key("grdm"), psd_parse_gradient_map},   {psd_key("phfl"), psd_parse_photo_filter},
        {psd_key("tySh"), psd_parse_type_tool},      {psd_key("SoCo"), psd_parse_solid_color},
        {psd_key("GdFl"), psd_parse_gradient_fill},  {psd_key("PtFl"), psd_parse_pattern_fill},
        {psd_key("lrFX"), psd_parse_effects_old},    {psd_key("lfx2"), psd_parse_effects},
    };
    for (const auto& row : kParsers)
        if (row.key == key) return row.parser;
    return nullptr;
}

const char* psd_layer_info_status_text(int status) {
    switch (status) {
    case PSD_ERR_LEVELS_VERSION:
        return "levels version not 2";
    case PSD_ERR_LEVELS_EXTENSION_SIGNATURE:
        return "levels extension signature not Lvls";
    case PSD_ERR_LEVELS_LENGTH:
        return "levels block not consumed exactly";
    case PSD_ERR_LEVELS_EXTENSION_VERSION:
        return "levels extension version not 3";
    case PSD_ERR_CURVES_VERSION:
        return "curves version neither 1 nor 4";
    case PSD_ERR_CURVES_EXTENSION_SIGNATURE:
        return "curves extension signature not Crv";
    case PSD_ERR_CURVES_EXTENSION_VERSION:
        return "curves extension version not 4";
    case PSD_ERR_HUE_SATURATION_VERSION:
        return "hue/saturation version not 2";
    case PSD_ERR_SELECTIVE_COLOR_VERSION:
        return "selective colour version not 1";
    case PSD_ERR_CHANNEL_MIXER_VERSION:
        return "channel mixer version not 1";
    case PSD_ERR_PHOTO_FILTER_VERSION:
        return "photo filter version not 3";
    case PSD_ERR_GRADIENT_MAP_VERSION:
        return "gradient map version not 1";
    case PSD_ERR_EFFECTS_VERSION:
        return "effects block version not supported";
    case PSD_ERR_EFFECT_SIGNATURE:
        return "old-style effect without 8BIM";
    case PSD_ERR_EFFECT_KEY:
        return "old-style effect key not known";
    case PSD_ERR_EFFECTS_COMMON_VERSION:
        return "old-style effects common state version not 0";
    case PSD_ERR_SOLID_COLOR_VERSION:
        return "solid colour fill descriptor version not 16";
    case PSD_ERR_GRADIENT_FILL_VERSION:
        return "gradient fill descriptor version not 16";
    case PSD_ERR_PATTERN_FILL_VERSION:
        return "pattern fill descriptor version not 16";
    case PSD_ERR_NEGATIVE_COUNT:
        return "a signed 16-bit count is negative";
    default:
        return nullptr;
    }
}
