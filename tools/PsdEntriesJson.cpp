#include "PsdEntriesJson.h"

#include "psd_effects.h"
#include "psd_layer_info.h"

#include <utility>
#include <vector>

namespace vistrel {

namespace {

const char* colorModelName(int32_t model) {
    switch (model) {
    case PSD_COLOR_RGB:
        return "rgb";
    case PSD_COLOR_HSB:
        return "hsb";
    case PSD_COLOR_CMYK:
        return "cmyk";
    case PSD_COLOR_LAB:
        return "lab";
    case PSD_COLOR_GRAY:
        return "gray";
    default:
        return "unknown";
    }
}

// A colour as "#AARRGGBB", and, where a descriptor gave it, its model and components as the file
// states them in "<name>Model": {"model": "hsb", "values": [120, 50, 75], "book": false}.
void writeColor(JsonWriter& j, const char* name, uint32_t argb, const PsdModelColor& model) {
    j.key(name).color(argb);
    if (!model.given) return;
    const std::string key = std::string(name) + "Model";
    const int count = model.model == PSD_COLOR_CMYK ? 4 : model.model == PSD_COLOR_GRAY ? 1 : 3;
    j.key(key.c_str()).beginObject().field("model", colorModelName(model.model));
    j.key("values").beginArray();
    for (int i = 0; i < count; ++i)
        j.value(model.components[i]);
    j.endArray().field("book", model.book != 0).endObject();
}

const char* unitName(uint32_t unit) {
    switch (unit) {
    case psd_key("#Pxl"):
        return "pixels";
    case psd_key("#Pnt"):
        return "points";
    case psd_key("#Mlm"):
        return "millimeters";
    case psd_key("#Prc"):
        return "percent";
    case psd_key("#Ang"):
        return "degrees";
    case psd_key("#Rlt"):
        return "relative";
    case psd_key("#Rsl"):
        return "density";
    case psd_key("#Nne"):
        return "none";
    default:
        return "unknown";
    }
}

// The numbers of one effect: each written as its value (lengths in pixels), and those the file
// gave with a unit listed again in "units" with the number as given: {"size": [3, "points"]}.
class Numbers {
public:
    explicit Numbers(JsonWriter& j) : j_(j) {}
    Numbers& field(const char* name, const PsdUnitValue& v) {
        j_.field(name, v.value);
        if (v.unit != 0) given_.push_back({name, v});
        return *this;
    }
    // Ends the list; call before the effect's object closes.
    void writeUnits() {
        if (given_.empty()) return;
        j_.key("units").beginObject();
        for (const auto& [name, v] : given_)
            j_.key(name).beginArray().value(v.given).string(unitName(v.unit)).endArray();
        j_.endObject();
    }

private:
    JsonWriter& j_;
    std::vector<std::pair<const char*, PsdUnitValue>> given_;
};

void writeGradient(JsonWriter& j, const PsdGradient& g) {
    j.beginObject();
    j.field("name", utf16beToUtf8(g.name, g.name_length)).field("smoothness", g.smoothness);
    j.key("colorStops").beginArray();
    for (int i = 0; g.color_stops && i < g.color_stop_count; ++i) {
        const PsdColorStop& s = g.color_stops[i];
        j.beginObject().field("location", s.location).field("midpoint", s.midpoint);
        writeColor(j, "color", s.color, s.color_model);
        j.field("colorType", s.color_type).endObject();
    }
    j.endArray().key("opacityStops").beginArray();
    for (int i = 0; g.opacity_stops && i < g.opacity_stop_count; ++i) {
        const PsdOpacityStop& s = g.opacity_stops[i];
        j.beginObject().field("location", s.location).field("midpoint", s.midpoint);
        j.field("opacity", s.opacity).endObject();
    }
    j.endArray().endObject();
}

void writePattern(JsonWriter& j, const PsdPatternRef& p) {
    j.beginObject().field("name", utf16beToUtf8(p.name, p.name_length));
    const auto* id = reinterpret_cast<const char*>(p.identifier);
    j.field("id", std::string(id, strnlen(id, sizeof p.identifier))).endObject();
}

// A contour table, written only when it is not the identity.
void writeContour(JsonWriter& j, const char* name, const PsdContour& c) {
    bool identity = true;
    for (int i = 0; i < 256; ++i)
        identity = identity && c.table[i] == i;
    if (identity) return;
    j.key(name).beginArray();
    for (uint8_t v : c.table)
        j.value(int64_t(v));
    j.endArray();
}

void writeStops(JsonWriter& j, const PsdGradientMap& m) {
    PsdGradient g{};
    g.name = m.name;
    g.name_length = m.name_length;
    g.color_stop_count = m.color_stop_count;
    g.color_stops = m.color_stops;
    g.opacity_stop_count = m.opacity_stop_count;
    g.opacity_stops = m.opacity_stops;
    j.key("gradient");
    writeGradient(j, g);
}

void writeShadow(JsonWriter& j, const PsdShadowEffect& e, bool drop) {
    Numbers n(j);
    j.beginObject().field("enabled", e.enabled != 0);
    j.field("blendMode", blendModeName(e.blend_mode));
    writeColor(j, "color", e.color, e.color_model);
    j.key("nativeColor").color(e.native_color);
    j.field("opacity", e.opacity);
    n.field("angle", e.angle);
    j.field("useGlobalAngle", e.use_global_angle != 0);
    n.field("distance", e.distance).field("choke", e.choke).field("size", e.size);
    j.field("antiAliased", e.anti_aliased != 0);
    n.field("noise", e.noise);
    if (drop) j.field("layerKnocksOut", e.layer_knocks_out != 0);
    writeContour(j, "contour", e.contour);
    n.writeUnits();
    j.endObject();
}

void writeGlow(JsonWriter& j, const PsdGlowEffect& e, bool inner) {
    Numbers n(j);
    j.beginObject().field("enabled", e.enabled != 0);
    j.field("blendMode", blendModeName(e.blend_mode)).field("opacity", e.opacity);
    n.field("noise", e.noise);
    j.field("fillType", e.fill_type);
    writeColor(j, "color", e.color, e.color_model);
    j.key("nativeColor").color(e.native_color);
    if (e.fill_type == 1) {
        j.key("gradient");
        writeGradient(j, e.gradient);
    }
    j.field("technique", e.technique);
    if (inner) j.field("source", e.source);
    n.field(inner ? "choke" : "spread", e.choke).field("size", e.size);
    j.field("antiAliased", e.anti_aliased != 0);
    n.field("range", e.range).field("jitter", e.jitter);
    writeContour(j, "contour", e.contour);
    n.writeUnits();
    j.endObject();
}

void writeBevel(JsonWriter& j, const PsdBevelEffect& e, bool old) {
    Numbers n(j);
    j.beginObject().field("enabled", e.enabled != 0).field("style", e.style);
    j.field("technique", e.technique);
    n.field("depth", e.depth);
    j.field("direction", e.direction);
    n.field("size", e.size).field("soften", e.soften).field("angle", e.angle);
    if (old) n.field("strength", e.strength);
    j.field("useGlobalAngle", e.use_global_angle != 0);
    n.field("altitude", e.altitude);
    j.field("highlightBlendMode", blendModeName(e.highlight_blend_mode));
    writeColor(j, "highlightColor", e.highlight_color, e.highlight_color_model);
    j.field("highlightOpacity", e.highlight_opacity);
    j.field("shadowBlendMode", blendModeName(e.shadow_blend_mode));
    writeColor(j, "shadowColor", e.shadow_color, e.shadow_color_model);
    j.field("shadowOpacity", e.shadow_opacity);
    j.field("antiAliasedGloss", e.anti_aliased_gloss != 0).field("useContour", e.use_contour != 0);
    j.field("antiAliasedContour", e.anti_aliased_contour != 0);
    n.field("contourRange", e.contour_range);
    writeContour(j, "glossContour", e.gloss_contour);
    writeContour(j, "contour", e.contour);
    j.field("useTexture", e.use_texture != 0);
    if (e.use_texture) {
        j.key("texture");
        writePattern(j, e.texture);
        n.field("textureScale", e.texture_scale).field("textureDepth", e.texture_depth);
        j.field("invertTexture", e.invert_texture != 0).field("linkTexture", e.link_texture != 0);
        j.key("texturePhase").beginArray().value(int64_t(e.texture_phase_horizontal));
        j.value(int64_t(e.texture_phase_vertical)).endArray();
    }
    n.writeUnits();
    j.endObject();
}

void writeEffects(JsonWriter& j, const PsdEffects& fx, bool old) {
    j.field("count", fx.count).field("masterSwitch", fx.master_switch != 0);
    const uint8_t* present = fx.present;
    if (present[PSD_EFFECT_DROP_SHADOW]) writeShadow(j.key("dropShadow"), fx.drop_shadow, true);
    if (present[PSD_EFFECT_INNER_SHADOW]) writeShadow(j.key("innerShadow"), fx.inner_shadow, false);
    if (present[PSD_EFFECT_OUTER_GLOW]) writeGlow(j.key("outerGlow"), fx.outer_glow, false);
    if (present[PSD_EFFECT_INNER_GLOW]) writeGlow(j.key("innerGlow"), fx.inner_glow, true);
    if (present[PSD_EFFECT_BEVEL]) writeBevel(j.key("bevel"), fx.bevel, old);
    if (present[PSD_EFFECT_SATIN]) {
        const PsdSatinEffect& e = fx.satin;
        Numbers n(j);
        j.key("satin").beginObject().field("enabled", e.enabled != 0);
        j.field("blendMode", blendModeName(e.blend_mode));
        writeColor(j, "color", e.color, e.color_model);
        j.field("opacity", e.opacity);
        n.field("angle", e.angle).field("distance", e.distance).field("size", e.size);
        j.field("antiAliased", e.anti_aliased != 0).field("invert", e.invert != 0);
        writeContour(j, "contour", e.contour);
        n.writeUnits();
        j.endObject();
    }
    if (present[PSD_EFFECT_COLOR_OVERLAY]) {
        const PsdColorOverlayEffect& e = fx.color_overlay;
        j.key("colorOverlay").beginObject().field("enabled", e.enabled != 0);
        j.field("blendMode", blendModeName(e.blend_mode));
        writeColor(j, "color", e.color, e.color_model);
        j.field("opacity", e.opacity).endObject();
    }
    if (present[PSD_EFFECT_GRADIENT_OVERLAY]) {
        const PsdGradientOverlayEffect& e = fx.gradient_overlay;
        Numbers n(j);
        j.key("gradientOverlay").beginObject().field("enabled", e.enabled != 0);
        j.field("blendMode", blendModeName(e.blend_mode)).field("opacity", e.opacity);
        j.key("gradient");
        writeGradient(j, e.gradient);
        j.field("reverse", e.reverse != 0).field("type", e.type).field("align", e.align != 0);
        n.field("angle", e.angle).field("scale", e.scale);
        j.key("offset").beginArray().value(int64_t(e.offset_horizontal));
        j.value(int64_t(e.offset_vertical)).endArray();
        n.writeUnits();
        j.endObject();
    }
    if (present[PSD_EFFECT_PATTERN_OVERLAY]) {
        const PsdPatternOverlayEffect& e = fx.pattern_overlay;
        Numbers n(j);
        j.key("patternOverlay").beginObject().field("enabled", e.enabled != 0);
        j.field("blendMode", blendModeName(e.blend_mode)).field("opacity", e.opacity);
        n.field("scale", e.scale);
        j.field("linked", e.linked != 0).key("pattern");
        writePattern(j, e.pattern);
        n.writeUnits();
        j.endObject();
    }
    if (present[PSD_EFFECT_STROKE]) {
        const PsdStrokeEffect& e = fx.stroke;
        Numbers n(j);
        j.key("stroke").beginObject().field("enabled", e.enabled != 0);
        n.field("size", e.size);
        j.field("position", e.position).field("blendMode", blendModeName(e.blend_mode));
        j.field("opacity", e.opacity).field("paintType", e.paint_type);
        if (e.paint_type == 0) writeColor(j, "color", e.color, e.color_model);
        if (e.paint_type == 1) {
            j.key("gradient");
            writeGradient(j, e.gradient);
            j.field("reverse", e.reverse != 0).field("gradientType", e.gradient_type);
            j.field("align", e.align != 0);
            n.field("angle", e.angle).field("scale", e.gradient_scale);
        }
        if (e.paint_type == 2) {
            j.key("pattern");
            writePattern(j, e.pattern);
            n.field("scale", e.pattern_scale);
            j.field("linked", e.linked != 0);
        }
        n.writeUnits();
        j.endObject();
    }
}

template <size_t N> void writeArray(JsonWriter& j, const char* name, const uint16_t (&values)[N]) {
    j.key(name).beginArray();
    for (uint16_t v : values)
        j.value(int64_t(v));
    j.endArray();
}

} // namespace

const char* blendModeName(int32_t mode) {
    static const char* const kNames[] = {
        "normal",        "dissolve",   "darken",     "multiply",     "color burn",
        "linear burn",   "lighten",    "screen",     "color dodge",  "linear dodge",
        "overlay",       "soft light", "hard light", "vivid light",  "linear light",
        "pin light",     "hard mix",   "difference", "exclusion",    "hue",
        "saturation",    "color",      "luminosity", "pass through", "darker color",
        "lighter color", "subtract",   "divide",
    };
    return mode >= 0 && mode < int32_t(std::size(kNames)) ? kNames[mode] : "normal";
}

void writeLayerEntry(JsonWriter& j, uint32_t type, const void* record) {
    j.beginObject();
    switch (type) {
    case PSD_ENTRY_LEVELS: {
        const auto& r = *static_cast<const PsdLevels*>(record);
        j.field("type", "levels").key("records").beginArray();
        for (int i = 0; i < 29 + r.extra_count; ++i) {
            const PsdLevelRecord& l = i < 29 ? r.records[i] : r.extra[i - 29];
            j.beginObject()
                .field("inputFloor", l.input_floor)
                .field("inputCeiling", l.input_ceiling);
            j.field("outputFloor", l.output_floor).field("outputCeiling", l.output_ceiling);
            j.field("gamma", l.gamma).endObject();
        }
        j.endArray();
        break;
    }
    case PSD_ENTRY_CURVES: {
        const auto& r = *static_cast<const PsdCurves*>(record);
        j.field("type", "curves").key("curves").beginArray();
        for (int i = 0; i < r.count; ++i) {
            const PsdCurve& c = r.curves[i];
            j.beginObject().field("channel", c.channel).key("points").beginArray();
            for (int p = 0; p < c.point_count; ++p)
                j.beginArray().value(int64_t(c.input[p])).value(int64_t(c.output[p])).endArray();
            j.endArray().endObject();
        }
        j.endArray();
        break;
    }
    case PSD_ENTRY_BRIGHTNESS_CONTRAST: {
        const auto& r = *static_cast<const PsdBrightnessContrast*>(record);
        j.field("type", "brightnessContrast").field("brightness", int16_t(r.brightness));
        j.field("contrast", int16_t(r.contrast)).field("mean", r.mean);
        j.field("labOnly", r.lab_only != 0);
        break;
    }
    case PSD_ENTRY_COLOR_BALANCE: {
        const auto& r = *static_cast<const PsdColorBalance*>(record);
        j.field("type", "colorBalance");
        for (auto [name, values] :
             {std::pair{"cyanRed", r.cyan_red}, std::pair{"magentaGreen", r.magenta_green},
              std::pair{"yellowBlue", r.yellow_blue}}) {
            j.key(name).beginArray();
            for (int i = 0; i < 3; ++i)
                j.value(int64_t(int16_t(values[i])));
            j.endArray();
        }
        j.field("preserveLuminosity", r.preserve_luminosity != 0);
        break;
    }
    case PSD_ENTRY_HUE_SATURATION: {
        const auto& r = *static_cast<const PsdHueSaturation*>(record);
        j.field("type", "hueSaturation").field("colorize", r.colorize != 0);
        j.key("colorization").beginArray().value(int64_t(int16_t(r.colorize_hue)));
        j.value(int64_t(int16_t(r.colorize_saturation)))
            .value(int64_t(int16_t(r.colorize_lightness)));
        j.endArray().key("master").beginArray().value(int64_t(int16_t(r.master_hue)));
        j.value(int64_t(int16_t(r.master_saturation))).value(int64_t(int16_t(r.master_lightness)));
        j.endArray();
        writeArray(j, "ranges", r.ranges);
        writeArray(j, "settings", r.settings);
        break;
    }
    case PSD_ENTRY_SELECTIVE_COLOR: {
        const auto& r = *static_cast<const PsdSelectiveColor*>(record);
        j.field("type", "selectiveColor").field("method", r.method);
        writeArray(j, "cyan", r.cyan);
        writeArray(j, "magenta", r.magenta);
        writeArray(j, "yellow", r.yellow);
        writeArray(j, "black", r.black);
        break;
    }
    case PSD_ENTRY_THRESHOLD:
        j.field("type", "threshold")
            .field("level", static_cast<const PsdThreshold*>(record)->level);
        break;
    case PSD_ENTRY_INVERT:
        j.field("type", "invert");
        break;
    case PSD_ENTRY_POSTERIZE:
        j.field("type", "posterize")
            .field("levels", static_cast<const PsdPosterize*>(record)->levels);
        break;
    case PSD_ENTRY_CHANNEL_MIXER: {
        const auto& r = *static_cast<const PsdChannelMixer*>(record);
        j.field("type", "channelMixer")
            .field("monochrome", r.monochrome != 0)
            .key("outputs")
            .beginArray();
        for (int ch = 0; ch < 4; ++ch) {
            j.beginArray();
            for (const auto& position : r.values)
                j.value(int64_t(int16_t(position[ch])));
            j.endArray();
        }
        j.endArray();
        break;
    }
    case PSD_ENTRY_GRADIENT_MAP: {
        const auto& r = *static_cast<const PsdGradientMap*>(record);
        j.field("type", "gradientMap")
            .field("reverse", r.reverse != 0)
            .field("dither", r.dither != 0);
        writeStops(j, r);
        break;
    }
    case PSD_ENTRY_PHOTO_FILTER: {
        const auto& r = *static_cast<const PsdPhotoFilter*>(record);
        j.field("type", "photoFilter").field("version", r.version);
        if (r.version == 2) {
            j.key("color").color(r.color).field("colorSpace", r.color_space);
            j.key("components").beginArray();
            for (uint16_t c : r.components)
                j.value(int64_t(c));
            j.endArray();
        } else {
            j.key("xyz").beginArray().value(int64_t(r.x));
            j.value(int64_t(r.y)).value(int64_t(r.z)).endArray();
        }
        j.field("density", r.density);
        j.field("preserveLuminosity", r.preserve_luminosity != 0);
        break;
    }
    case PSD_ENTRY_TYPE_TOOL: {
        const auto& r = *static_cast<const PsdTypeTool*>(record);
        j.field("type", "typeTool").key("transform").beginArray();
        for (double v : r.transform)
            j.value(v);
        j.endArray().key("faces").beginArray();
        for (int i = 0; r.faces && i < r.face_count; ++i)
            j.beginObject()
                .field("font", r.faces[i].font_name)
                .field("family", r.faces[i].family_name)
                .field("style", r.faces[i].style_name)
                .endObject();
        j.endArray().key("styles").beginArray();
        for (int i = 0; r.styles && i < r.style_count; ++i)
            j.beginObject()
                .field("face", r.styles[i].face_mark)
                .field("size", r.styles[i].size)
                .endObject();
        j.endArray().field("textType", r.text_type).field("lineCount", r.line_count);
        j.key("color").color(r.color).field("antiAlias", r.anti_alias != 0);
        break;
    }
    case PSD_ENTRY_EFFECTS_OLD:
    case PSD_ENTRY_EFFECTS:
        j.field("type", type == PSD_ENTRY_EFFECTS ? "effects" : "effectsOld");
        writeEffects(j, *static_cast<const PsdEffects*>(record), type == PSD_ENTRY_EFFECTS_OLD);
        break;
    case PSD_ENTRY_SOLID_COLOR: {
        const auto& r = *static_cast<const PsdSolidColorFill*>(record);
        j.field("type", "solidColor");
        writeColor(j, "color", r.color, r.color_model);
        break;
    }
    case PSD_ENTRY_GRADIENT_FILL: {
        const auto& r = *static_cast<const PsdGradientFill*>(record);
        j.field("type", "gradientFill").field("angle", r.angle).field("gradientType", r.type);
        j.field("scale", r.scale).field("reverse", r.reverse != 0).field("dither", r.dither != 0);
        j.field("align", r.align != 0).key("gradient");
        writeGradient(j, r.gradient);
        break;
    }
    case PSD_ENTRY_PATTERN_FILL: {
        const auto& r = *static_cast<const PsdPatternFill*>(record);
        j.field("type", "patternFill").field("scale", r.scale).key("pattern");
        writePattern(j, r.pattern);
        break;
    }
    default:
        j.field("type", "unknown").field("code", type);
        break;
    }
    j.endObject();
}

} // namespace vistrel
