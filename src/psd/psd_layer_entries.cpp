// Release of a layer's additional-information entries by their type: the one place that knows
// what each entry's record owns.
#include "psd_effects.h"
#include "psd_layer_info.h"
#include "psd_layer_reader.h"

#include <cstdlib>

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
