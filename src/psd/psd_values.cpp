// Readers of the structured descriptor values: colours, enumerations, points, pattern references
// and gradients. Contours are in psd_contour.cpp.
#include "psd_values.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

void drop(PsdBlock& block, int n) {
    for (int i = 0; i < n; ++i)
        psd_read_u32(block.ctx);
}

uint8_t component(PsdBlock& block) {
    return psd_double_to_u8(psd_read_f64(block.ctx));
}

struct NamedMode {
    const char* name;
    PsdBlendMode mode;
};

// Modes whose enumeration values are written as names rather than 4-character keys.
constexpr NamedMode kNamedModes[] = {
    {"linearBurn", PSD_BLEND_LINEAR_BURN}, {"linearDodge", PSD_BLEND_LINEAR_DODGE},
    {"vividLight", PSD_BLEND_VIVID_LIGHT}, {"linearLight", PSD_BLEND_LINEAR_LIGHT},
    {"pinLight", PSD_BLEND_PIN_LIGHT},     {"hardMix", PSD_BLEND_HARD_MIX},
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
        stop.color = psd_read_rgb_object(block);
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

uint32_t psd_read_rgb_object(PsdBlock& block) {
    psd_skip_unicode(block);
    drop(block, 6); // class ID, item count, the first item's key and type
    const uint32_t red = component(block);
    drop(block, 3);
    const uint32_t green = component(block);
    drop(block, 3);
    const uint32_t blue = component(block);
    return psd_pack_argb(255, red, green, blue);
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
