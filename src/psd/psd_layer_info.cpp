// A layer's additional-information entries: registering one with its record, and the texts of
// the status codes of these blocks.
#include "psd_layer_info.h"

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
    layer->info_types[layer->info_count] = type;
    layer->info_data[layer->info_count] = data;
    ++layer->info_count;
    *record = data;
    return PSD_OK;
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
        return "photo filter version neither 2 nor 3";
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
