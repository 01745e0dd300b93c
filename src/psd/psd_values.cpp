// Readers of the structured descriptor values: colours, numbers with units, enumerations, points,
// pattern references and gradients. Contours are in psd_contour.cpp.
#include "psd_values.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

void drop(PsdBlock& block, int n) {
    for (int i = 0; i < n; ++i)
        psd_read_u32(block.ctx);
}

// A colour component's key: the model it belongs to and its place there.
struct ComponentKey {
    uint32_t key;
    int32_t model;
    int index;
    double scale; // to the model's measure ("redFloat" and its kin are 0 to 1)
};

constexpr ComponentKey kComponentKeys[] = {
    {psd_key("Rd  "), PSD_COLOR_RGB, 0, 1},  {psd_key("Grn "), PSD_COLOR_RGB, 1, 1},
    {psd_key("Bl  "), PSD_COLOR_RGB, 2, 1},  {psd_key("H   "), PSD_COLOR_HSB, 0, 1},
    {psd_key("Strt"), PSD_COLOR_HSB, 1, 1},  {psd_key("Brgh"), PSD_COLOR_HSB, 2, 1},
    {psd_key("Cyn "), PSD_COLOR_CMYK, 0, 1}, {psd_key("Mgnt"), PSD_COLOR_CMYK, 1, 1},
    {psd_key("Ylw "), PSD_COLOR_CMYK, 2, 1}, {psd_key("Blck"), PSD_COLOR_CMYK, 3, 1},
    {psd_key("Lmnc"), PSD_COLOR_LAB, 0, 1},  {psd_key("A   "), PSD_COLOR_LAB, 1, 1},
    {psd_key("B   "), PSD_COLOR_LAB, 2, 1},  {psd_key("Gry "), PSD_COLOR_GRAY, 0, 1},
};

struct NamedComponent {
    const char* name;
    int index;
};
constexpr NamedComponent kFloatComponents[] = {
    {"redFloat", 0}, {"greenFloat", 1}, {"blueFloat", 2}};

// The model a colour class names; -1 for a class that names none (a book colour, or a class
// the reader does not know), whose components then tell.
int32_t model_of_class(uint32_t key, const char* name, bool* book) {
    *book = key == psd_key("BkCl") || (key == 0 && std::strcmp(name, "bookColor") == 0);
    switch (key) {
    case psd_key("RGBC"):
        return PSD_COLOR_RGB;
    case psd_key("HSBC"):
        return PSD_COLOR_HSB;
    case psd_key("CMYC"):
        return PSD_COLOR_CMYK;
    case psd_key("LbCl"):
    case psd_key("LABC"):
        return PSD_COLOR_LAB;
    case psd_key("Grsc"):
    case psd_key("GRYC"):
        return PSD_COLOR_GRAY;
    default:
        return -1;
    }
}

uint32_t byte_of(double v) {
    return psd_double_to_u8(std::isfinite(v) ? v + 0.5 : 0.0);
}

// HSB (hue in degrees, saturation and brightness as fractions) to RGB.
uint32_t hsb_to_argb(double h, double s, double v) {
    h = std::fmod(std::isfinite(h) ? h : 0.0, 360.0);
    if (h < 0) h += 360.0;
    s = std::clamp(std::isfinite(s) ? s : 0.0, 0.0, 1.0);
    v = std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 1.0);
    const double c = v * s;
    const double x = c * (1 - std::fabs(std::fmod(h / 60.0, 2.0) - 1));
    const double m = v - c;
    double r = 0, g = 0, b = 0;
    switch (int(h / 60.0)) {
    case 0:
        r = c, g = x;
        break;
    case 1:
        r = x, g = c;
        break;
    case 2:
        g = c, b = x;
        break;
    case 3:
        g = x, b = c;
        break;
    case 4:
        r = x, b = c;
        break;
    default:
        r = c, b = x;
        break;
    }
    return psd_pack_argb(255, byte_of((r + m) * 255), byte_of((g + m) * 255),
                         byte_of((b + m) * 255));
}

struct NamedMode {
    const char* name;
    PsdBlendMode mode;
};

// Modes whose enumeration values are written as names rather than 4-character keys.
constexpr NamedMode kNamedModes[] = {
    {"linearBurn", PSD_BLEND_LINEAR_BURN},    {"linearDodge", PSD_BLEND_LINEAR_DODGE},
    {"vividLight", PSD_BLEND_VIVID_LIGHT},    {"linearLight", PSD_BLEND_LINEAR_LIGHT},
    {"pinLight", PSD_BLEND_PIN_LIGHT},        {"hardMix", PSD_BLEND_HARD_MIX},
    {"darkerColor", PSD_BLEND_DARKER_COLOR},  {"lighterColor", PSD_BLEND_LIGHTER_COLOR},
    {"blendSubtraction", PSD_BLEND_SUBTRACT}, {"blendDivide", PSD_BLEND_DIVIDE},
};

struct KeyedMode {
    uint32_t key;
    PsdBlendMode mode;
};

constexpr KeyedMode kKeyedModes[] = {
    {psd_key("Nrml"), PSD_BLEND_NORMAL},     {psd_key("Dslv"), PSD_BLEND_DISSOLVE},
    {psd_key("Drkn"), PSD_BLEND_DARKEN},     {psd_key("Mltp"), PSD_BLEND_MULTIPLY},
    {psd_key("CBrn"), PSD_BLEND_COLOR_BURN}, {psd_key("Lghn"), PSD_BLEND_LIGHTEN},
    {psd_key("Scrn"), PSD_BLEND_SCREEN},     {psd_key("CDdg"), PSD_BLEND_COLOR_DODGE},
    {psd_key("Ovrl"), PSD_BLEND_OVERLAY},    {psd_key("SftL"), PSD_BLEND_SOFT_LIGHT},
    {psd_key("HrdL"), PSD_BLEND_HARD_LIGHT}, {psd_key("Dfrn"), PSD_BLEND_DIFFERENCE},
    {psd_key("Xclu"), PSD_BLEND_EXCLUSION},  {psd_key("H   "), PSD_BLEND_HUE},
    {psd_key("Strt"), PSD_BLEND_SATURATION}, {psd_key("Clr "), PSD_BLEND_COLOR},
    {psd_key("Lmns"), PSD_BLEND_LUMINOSITY},
};

// An enumeration value given as a key: its index in `keys`, or `fallback`. A named value is
// skipped and gives `fallback`.
int32_t keyed_enum(PsdBlock& block, const uint32_t* keys, int count, int32_t fallback) {
    const uint32_t key = psd_read_id(block, nullptr);
    for (int i = 0; key != 0 && i < count; ++i)
        if (keys[i] == key) return i;
    return fallback;
}

// A UTF-16 name whose length the file gives: replaces what `name` held. False when the block
// cannot hold it (or the allocation fails): the caller then ends its item loop, as the format's
// readers do when a name cannot be allocated.
bool read_name(PsdBlock& block, uint32_t* length, uint8_t** name) {
    const uint32_t units = psd_read_u32(block.ctx);
    const uint64_t bytes = uint64_t(units) * 2;
    if (bytes > block.left()) return false;
    std::free(*name);
    *name = nullptr;
    *length = 0;
    if (bytes == 0) return true;
    *name = static_cast<uint8_t*>(std::calloc(1, bytes));
    if (!*name) return false;
    *length = units;
    psd_read(block.ctx, *name, bytes);
    return true;
}

// At most what the 16-bit count of the record can hold, and what the block can.
uint32_t stop_count(PsdBlock& block, uint32_t item_size) {
    return std::min<uint32_t>(block.bound(psd_read_u32(block.ctx), item_size), INT16_MAX);
}

// Encoded sizes of the smallest colour and transparency stops (a colour stop holds a whole RGB
// object); the counts read are bounded by them.
constexpr uint32_t kMinColorStop = 64;
// Nesting of a stop's colour: the gradient, the stop list, the stop, the colour.
constexpr int kStopDepth = 4;
constexpr uint32_t kMinOpacityStop = 32;
constexpr uint32_t kMinItem = 8;

void read_color_stops(PsdBlock& block, PsdGradient* g) {
    const uint32_t n = stop_count(block, kMinColorStop);
    std::free(g->color_stops);
    g->color_stops = nullptr;
    g->color_stop_count = 0;
    if (n == 0) return;
    g->color_stops = static_cast<PsdColorStop*>(std::calloc(n, sizeof(PsdColorStop)));
    if (!g->color_stops) return;
    g->color_stop_count = int16_t(n);
    for (uint32_t i = 0; i < n; ++i) {
        PsdColorStop& stop = g->color_stops[i];
        drop(block, 1); // element type
        psd_skip_unicode(block);
        drop(block, 6); // class ID, item count, the colour item's key and type
        stop.color = psd_read_color_object(block, &stop.color_model, kStopDepth);
        drop(block, 6); // "Type" key and type, the enumeration's type ID, the value's length
        switch (psd_read_u32(block.ctx)) {
        case psd_key("FrgC"):
            stop.color_type = 0;
            break;
        case psd_key("BckC"):
            stop.color_type = 1;
            break;
        case psd_key("UsrS"):
            stop.color_type = 2;
            break;
        default:
            break;
        }
        drop(block, 3);
        stop.location = psd_read_u32(block.ctx);
        drop(block, 3);
        stop.midpoint = psd_read_u32(block.ctx);
    }
}

void read_opacity_stops(PsdBlock& block, PsdGradient* g) {
    const uint32_t n = stop_count(block, kMinOpacityStop);
    std::free(g->opacity_stops);
    g->opacity_stops = nullptr;
    g->opacity_stop_count = 0;
    if (n == 0) return;
    g->opacity_stops = static_cast<PsdOpacityStop*>(std::calloc(n, sizeof(PsdOpacityStop)));
    if (!g->opacity_stops) return;
    g->opacity_stop_count = int16_t(n);
    for (uint32_t i = 0; i < n; ++i) {
        PsdOpacityStop& stop = g->opacity_stops[i];
        drop(block, 1);
        psd_skip_unicode(block);
        drop(block, 7); // class ID, item count, the opacity item's key and type, its unit
        stop.opacity = psd_double_to_i16(psd_read_f64(block.ctx));
        drop(block, 3);
        stop.location = psd_read_u32(block.ctx);
        drop(block, 3);
        stop.midpoint = psd_read_u32(block.ctx);
    }
}

} // namespace

uint32_t psd_model_color_to_argb(const PsdModelColor& color) {
    const double* c = color.components;
    switch (color.model) {
    case PSD_COLOR_RGB:
        // Components are truncated, as the format's readers have always taken them.
        return psd_pack_argb(255, psd_double_to_u8(c[0]), psd_double_to_u8(c[1]),
                             psd_double_to_u8(c[2]));
    case PSD_COLOR_HSB:
        return hsb_to_argb(c[0], c[1] / 100.0, c[2] / 100.0);
    case PSD_COLOR_CMYK:
        return psd_cmyk_to_argb(byte_of(c[0] * 2.55), byte_of(c[1] * 2.55), byte_of(c[2] * 2.55),
                                byte_of(c[3] * 2.55));
    case PSD_COLOR_LAB:
        return psd_lab_to_argb(std::isfinite(c[0]) ? c[0] : 0, std::isfinite(c[1]) ? c[1] : 0,
                               std::isfinite(c[2]) ? c[2] : 0, 255);
    case PSD_COLOR_GRAY: {
        const uint32_t v = byte_of(255.0 - c[0] * 2.55);
        return psd_pack_argb(255, v, v, v);
    }
    default:
        return 0xFF000000;
    }
}

double psd_read_number(PsdBlock& block, uint32_t type, int depth) {
    switch (type) {
    case psd_key("doub"):
        return psd_read_f64(block.ctx);
    case psd_key("UntF"):
        psd_read_u32(block.ctx);
        return psd_read_f64(block.ctx);
    case psd_key("long"):
        return int32_t(psd_read_u32(block.ctx));
    case psd_key("comp"): {
        const uint64_t high = psd_read_u32(block.ctx);
        return double(int64_t((high << 32) | psd_read_u32(block.ctx)));
    }
    default:
        psd_skip_descriptor_value(block, type, depth + 1);
        return 0;
    }
}

PsdUnitValue psd_read_unit_value(PsdBlock& block) {
    PsdUnitValue v{};
    v.unit = psd_read_u32(block.ctx);
    const double given = psd_read_f64(block.ctx);
    v.given = std::isfinite(given) ? given : 0.0;
    double inch = 0; // the unit's length in inches, for lengths
    if (v.unit == psd_key("#Pnt") || v.unit == psd_key("#Rlt")) inch = 1.0 / 72.0;
    if (v.unit == psd_key("#Mlm")) inch = 1.0 / 25.4;
    v.value = v.given;
    if (inch > 0) {
        const auto& resolution = block.ctx->resources.resolution;
        const double ppi =
            resolution.present && resolution.horizontal > 0 && std::isfinite(resolution.horizontal)
                ? double(resolution.horizontal)
                : 72.0;
        v.value = v.given * inch * ppi;
    }
    return v;
}

uint32_t psd_read_color_object(PsdBlock& block, PsdModelColor* out, int depth) {
    PsdModelColor color{};
    psd_skip_unicode(block);
    char name[kPsdMaxKeyName + 1];
    bool book = false;
    int32_t model = model_of_class(psd_read_id(block, name), name, &book);
    const uint32_t count = block.bound(psd_read_u32(block.ctx), kMinItem);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        const uint32_t key = psd_read_id(block, name);
        const uint32_t type = psd_read_u32(block.ctx);
        const ComponentKey* component = nullptr;
        for (const ComponentKey& k : kComponentKeys)
            if (key != 0 && k.key == key) component = &k;
        int float_index = -1;
        for (const NamedComponent& k : kFloatComponents)
            if (key == 0 && std::strcmp(k.name, name) == 0) float_index = k.index;
        if (component && (model < 0 || model == component->model)) {
            model = component->model;
            color.components[component->index] = psd_read_number(block, type, depth);
        } else if (float_index >= 0 && (model < 0 || model == PSD_COLOR_RGB)) {
            model = PSD_COLOR_RGB;
            color.components[float_index] = psd_read_number(block, type, depth) * 255.0;
        } else if (!psd_skip_descriptor_value(block, type, depth + 1)) {
            break;
        }
    }
    for (double& c : color.components)
        if (!std::isfinite(c)) c = 0;
    color.given = 1;
    color.book = book;
    color.model = model < 0 ? PSD_COLOR_RGB : model;
    if (out) *out = color;
    return psd_model_color_to_argb(color);
}

PsdBlendMode psd_read_blend_enum(PsdBlock& block) {
    char name[kPsdMaxKeyName + 1];
    const uint32_t key = psd_read_id(block, name);
    if (key == 0) {
        for (const NamedMode& entry : kNamedModes)
            if (std::strcmp(entry.name, name) == 0) return entry.mode;
        return PSD_BLEND_NORMAL;
    }
    for (const KeyedMode& entry : kKeyedModes)
        if (entry.key == key) return entry.mode;
    return PSD_BLEND_NORMAL;
}

int32_t psd_read_glow_technique(PsdBlock& block) {
    static constexpr uint32_t keys[] = {psd_key("SfBL"), psd_key("PrBL"), psd_key("Slmt")};
    return keyed_enum(block, keys, 3, 0);
}

int32_t psd_read_gradient_type(PsdBlock& block) {
    static constexpr uint32_t keys[] = {psd_key("Lnr "), psd_key("Rdl "), psd_key("Angl"),
                                        psd_key("Rflc"), psd_key("Dmnd")};
    return keyed_enum(block, keys, 5, 0);
}

void psd_read_point(PsdBlock& block, int32_t* horizontal, int32_t* vertical, int depth) {
    psd_skip_unicode(block);
    drop(block, 2); // class ID
    const uint32_t count = block.bound(psd_read_u32(block.ctx), 12);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        drop(block, 1); // key length
        const uint32_t key = psd_read_u32(block.ctx);
        const uint32_t type = psd_read_u32(block.ctx);
        if (key == psd_key("Hrzn") || key == psd_key("Vrtc")) {
            if (type == psd_key("UntF")) drop(block, 1);
            const int32_t value = psd_double_to_i32(psd_read_f64(block.ctx));
            *(key == psd_key("Hrzn") ? horizontal : vertical) = value;
        } else if (!psd_skip_descriptor_value(block, type, depth + 1)) {
            break;
        }
    }
}

void psd_read_pattern_ref(PsdBlock& block, PsdPatternRef* pattern, int depth) {
    psd_free_pattern_ref(pattern);
    psd_skip_unicode(block);
    drop(block, 2);
    const uint32_t count = block.bound(psd_read_u32(block.ctx), kMinItem);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        const uint32_t key = psd_read_id(block, nullptr);
        const uint32_t type = psd_read_u32(block.ctx);
        if (key == psd_key("Idnt")) {
            const uint32_t units = block.bound(psd_read_u32(block.ctx), 2);
            std::memset(pattern->identifier, 0, sizeof pattern->identifier);
            for (uint32_t u = 0; u < units; ++u) {
                const uint16_t unit = psd_read_u16(block.ctx);
                if (u < kPsdPatternIdSize) pattern->identifier[u] = uint8_t(unit);
            }
        } else if (key == psd_key("Nm  ")) {
            if (!read_name(block, &pattern->name_length, &pattern->name)) break;
        } else if (!psd_skip_descriptor_value(block, type, depth + 1)) {
            break;
        }
    }
}

void psd_read_gradient(PsdBlock& block, PsdGradient* gradient, int depth) {
    psd_free_gradient(gradient);
    psd_skip_unicode(block);
    drop(block, 2);
    const uint32_t count = block.bound(psd_read_u32(block.ctx), kMinItem);
    for (uint32_t i = 0; i < count && block.left() > 0; ++i) {
        const uint32_t key = psd_read_id(block, nullptr);
        const uint32_t type = psd_read_u32(block.ctx);
        switch (key) {
        case psd_key("Nm  "):
            if (!read_name(block, &gradient->name_length, &gradient->name)) return;
            break;
        case psd_key("Intr"):
            gradient->smoothness = psd_double_to_i32(psd_read_f64(block.ctx));
            break;
        case psd_key("Clrs"):
            read_color_stops(block, gradient);
            break;
        case psd_key("Trns"):
            read_opacity_stops(block, gradient);
            break;
        case psd_key("GrdF"):
            drop(block, 4); // the enumeration's type ID and value
            break;
        default:
            if (!psd_skip_descriptor_value(block, type, depth + 1)) return;
            break;
        }
    }
}

void psd_free_gradient(PsdGradient* gradient) {
    if (!gradient) return;
    std::free(gradient->name);
    std::free(gradient->color_stops);
    std::free(gradient->opacity_stops);
    std::memset(gradient, 0, sizeof *gradient);
}

void psd_free_pattern_ref(PsdPatternRef* pattern) {
    if (!pattern) return;
    std::free(pattern->name);
    std::memset(pattern, 0, sizeof *pattern);
}
