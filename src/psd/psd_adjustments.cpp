// Adjustment layers: levels, curves, brightness/contrast, colour balance, hue/saturation,
// selective colour, threshold, invert, posterize, channel mixer, gradient map and photo filter.
// Each block has a fixed layout; a parser that finishes sets the layer's adjustment flag.
#include "psd_layer_entry.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <initializer_list>

namespace {

int finish(PsdLayerRecord* layer) {
    layer->has_adjustment = 1;
    return PSD_OK;
}

void read_level(PsdContext* ctx, PsdLevelRecord& level) {
    level.input_floor = psd_read_u16(ctx);
    level.input_ceiling = psd_read_u16(ctx);
    level.output_floor = psd_read_u16(ctx);
    level.output_ceiling = psd_read_u16(ctx);
    level.gamma = float(int16_t(psd_read_u16(ctx)) * 0.01);
}

constexpr uint32_t kLevelRecordSize = 10;

} // namespace

int psd_parse_levels(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    PsdLevels* levels = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_LEVELS, PSD_KIND_LEVELS, levels))
        return psd_entry_not_added(s);
    PsdBlock block = psd_block(ctx, length);
    const uint64_t start = block.position();
    auto used = [&] { return block.position() - start; };
    if (psd_read_u16(ctx) != 2) return PSD_ERR_LEVELS_VERSION;
    for (PsdLevelRecord& level : levels->records)
        read_level(ctx, level);
    // Photoshop CS and later append the records past the 29th after a "Lvls" header.
    if (used() + 4 < length) {
        if (psd_read_u32(ctx) != psd_key("Lvls")) return PSD_ERR_LEVELS_EXTENSION_SIGNATURE;
        if (psd_read_u16(ctx) != 3) return PSD_ERR_LEVELS_EXTENSION_VERSION;
        // The total counts the 29 records read: a total below that, or more records than the
        // block holds, is no levels block.
        const uint16_t total = psd_read_u16(ctx);
        if (total < 29) return PSD_ERR_LEVELS_LENGTH;
        const uint32_t n = block.bound(total - 29u, kLevelRecordSize);
        if (n != total - 29u) return PSD_ERR_LEVELS_LENGTH;
        if (n > 0) {
            levels->extra = static_cast<PsdLevelRecord*>(std::calloc(n, sizeof(PsdLevelRecord)));
            if (!levels->extra) return PSD_ERR_MEMORY;
            levels->extra_count = uint16_t(n);
            for (uint32_t i = 0; i < n; ++i)
                read_level(ctx, levels->extra[i]);
        }
    }
    if (used() != length) return PSD_ERR_LEVELS_LENGTH;
    return finish(layer);
}

int psd_parse_curves(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    PsdCurves* curves = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_CURVES, PSD_KIND_CURVES, curves))
        return psd_entry_not_added(s);
    PsdBlock block = psd_block(ctx, length);
    const uint64_t start = block.position();
    psd_skip(ctx, 1);
    const uint16_t version = psd_read_u16(ctx);
    if (version != 1 && version != 4) return PSD_ERR_CURVES_VERSION;
    // One curve per set bit of the channel mask, in bit order.
    uint32_t mask = psd_read_u32(ctx);
    const int count = std::popcount(mask);
    if (count > 0) {
        curves->curves = static_cast<PsdCurve*>(std::calloc(count, sizeof(PsdCurve)));
        if (!curves->curves) return PSD_ERR_MEMORY;
        curves->count = uint16_t(count);
    }
    for (int k = 0; k < count; ++k) {
        PsdCurve& curve = curves->curves[k];
        curve.channel = uint16_t(std::countr_zero(mask));
        mask &= mask - 1;
        // Points past the record's 19 are read, so the block stays in step, and dropped.
        const uint32_t points = block.bound(psd_read_u16(ctx), 4);
        curve.point_count = uint16_t(std::min<uint32_t>(points, kPsdMaxCurvePoints));
        for (uint32_t i = 0; i < points; ++i) {
            const uint16_t output = psd_read_u16(ctx);
            const uint16_t input = psd_read_u16(ctx);
            if (i < kPsdMaxCurvePoints) {
                curve.output[i] = output;
                curve.input[i] = input;
            }
        }
    }
    if (block.position() - start + 4 < length) {
        // The extension repeats the curves; one that disagrees leaves the curves as first read,
        // without the adjustment flag.
        if (psd_read_u32(ctx) != psd_key("Crv ")) return PSD_ERR_CURVES_EXTENSION_SIGNATURE;
        if (psd_read_u16(ctx) != 4) return PSD_ERR_CURVES_EXTENSION_VERSION;
        if (psd_read_u32(ctx) != uint32_t(count)) return PSD_OK;
        for (int k = 0; k < count; ++k) {
            PsdCurve& curve = curves->curves[k];
            curve.channel = psd_read_u16(ctx);
            if (psd_read_u16(ctx) != curve.point_count) return PSD_OK;
            for (int i = 0; i < curve.point_count; ++i) {
                const uint16_t output = psd_read_u16(ctx);
                const uint16_t input = psd_read_u16(ctx);
                if (output != curve.output[i] || input != curve.input[i]) return PSD_OK;
            }
        }
    }
    return finish(layer);
}

int psd_parse_brightness(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    PsdBrightnessContrast* r = nullptr;
    if (int s =
            psd_begin_entry(layer, PSD_ENTRY_BRIGHTNESS_CONTRAST, PSD_KIND_BRIGHTNESS_CONTRAST, r))
        return psd_entry_not_added(s);
    r->brightness = psd_read_u16(ctx);
    r->contrast = psd_read_u16(ctx);
    r->mean = psd_read_u16(ctx);
    r->lab_only = psd_read_u8(ctx);
    return finish(layer);
}

int psd_parse_color_balance(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    PsdColorBalance* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_COLOR_BALANCE, PSD_KIND_COLOR_BALANCE, r))
        return psd_entry_not_added(s);
    for (int range = 0; range < 3; ++range) {
        r->cyan_red[range] = psd_read_u16(ctx);
        r->magenta_green[range] = psd_read_u16(ctx);
        r->yellow_blue[range] = psd_read_u16(ctx);
    }
    // A flag in a 16-bit field; writers put it in either byte (ag-psd: 0x0100).
    r->preserve_luminosity = psd_read_u16(ctx) != 0;
    return finish(layer);
}

int psd_parse_hue_saturation(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    PsdHueSaturation* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_HUE_SATURATION, PSD_KIND_HUE_SATURATION, r))
        return psd_entry_not_added(s);
    if (psd_read_u16(ctx) != 2) return PSD_ERR_HUE_SATURATION_VERSION;
    r->colorize = psd_read_u8(ctx);
    psd_skip(ctx, 1);
    r->colorize_hue = psd_read_u16(ctx);
    r->colorize_saturation = psd_read_u16(ctx);
    r->colorize_lightness = psd_read_u16(ctx);
    r->master_hue = psd_read_u16(ctx);
    r->master_saturation = psd_read_u16(ctx);
    r->master_lightness = psd_read_u16(ctx);
    for (int range = 0; range < 6; ++range) {
        for (int i = 0; i < 4; ++i)
            r->ranges[range * 4 + i] = psd_read_u16(ctx);
        for (int i = 0; i < 3; ++i)
            r->settings[range * 3 + i] = psd_read_u16(ctx);
    }
    return finish(layer);
}

int psd_parse_selective_color(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    PsdSelectiveColor* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_SELECTIVE_COLOR, PSD_KIND_SELECTIVE_COLOR, r))
        return psd_entry_not_added(s);
    if (psd_read_u16(ctx) != 1) return PSD_ERR_SELECTIVE_COLOR_VERSION;
    r->method = psd_read_u16(ctx);
    for (int plate = 0; plate < 10; ++plate) {
        r->cyan[plate] = psd_read_u16(ctx);
        r->magenta[plate] = psd_read_u16(ctx);
        r->yellow[plate] = psd_read_u16(ctx);
        r->black[plate] = psd_read_u16(ctx);
    }
    return finish(layer);
}

int psd_parse_threshold(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    PsdThreshold* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_THRESHOLD, PSD_KIND_THRESHOLD, r))
        return psd_entry_not_added(s);
    r->level = psd_read_u16(ctx);
    psd_read_u16(ctx);
    return finish(layer);
}

int psd_parse_invert(PsdContext*, PsdLayerRecord* layer, uint32_t) {
    void* none = nullptr;
    if (int s = psd_add_layer_entry(layer, PSD_ENTRY_INVERT, 0, &none))
        return psd_entry_not_added(s);
    layer->kind = PSD_KIND_INVERT;
    return finish(layer);
}

int psd_parse_posterize(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    PsdPosterize* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_POSTERIZE, PSD_KIND_POSTERIZE, r))
        return psd_entry_not_added(s);
    r->levels = psd_read_u16(ctx);
    psd_read_u16(ctx);
    return finish(layer);
}

int psd_parse_channel_mixer(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    PsdChannelMixer* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_CHANNEL_MIXER, PSD_KIND_CHANNEL_MIXER, r))
        return psd_entry_not_added(s);
    if (psd_read_u16(ctx) != 1) return PSD_ERR_CHANNEL_MIXER_VERSION;
    r->monochrome = psd_read_u16(ctx) != 0; // a flag in either byte of the field
    for (int channel = 0; channel < 4; ++channel)
        for (auto& position : r->values)
            position[channel] = psd_read_u16(ctx);
    return finish(layer);
}

int psd_parse_gradient_map(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length) {
    PsdGradientMap* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_GRADIENT_MAP, PSD_KIND_GRADIENT_MAP, r))
        return psd_entry_not_added(s);
    PsdBlock block = psd_block(ctx, length);
    if (psd_read_u16(ctx) != 1) return PSD_ERR_GRADIENT_MAP_VERSION;
    r->reverse = psd_read_bool(ctx);
    r->dither = psd_read_bool(ctx);
    const uint32_t units = psd_read_u32(ctx);
    if (uint64_t(units) * 2 > block.left()) return PSD_ERR_SHORT;
    if (units > 0) {
        r->name = static_cast<uint8_t*>(std::calloc(units, 2));
        if (!r->name) return PSD_ERR_MEMORY;
        r->name_length = units;
        psd_read(ctx, r->name, uint64_t(units) * 2);
    }

    const int16_t colors = int16_t(psd_read_u16(ctx));
    if (int s = psd_check_count(block, colors, 20)) return s;
    if (colors > 0) {
        r->color_stops = static_cast<PsdColorStop*>(std::calloc(colors, sizeof(PsdColorStop)));
        if (!r->color_stops) return PSD_ERR_MEMORY;
        r->color_stop_count = colors;
    }
    for (int i = 0; i < colors; ++i) {
        PsdColorStop& stop = r->color_stops[i];
        stop.location = psd_read_u32(ctx);
        stop.midpoint = psd_read_u32(ctx);
        stop.color = psd_read_color(ctx);
        psd_read_u16(ctx);
        stop.color_type = 2;
    }

    const int16_t opacities = int16_t(psd_read_u16(ctx));
    if (int s = psd_check_count(block, opacities, 10)) return s;
    if (opacities > 0) {
        r->opacity_stops =
            static_cast<PsdOpacityStop*>(std::calloc(opacities, sizeof(PsdOpacityStop)));
        if (!r->opacity_stops) return PSD_ERR_MEMORY;
        r->opacity_stop_count = opacities;
    }
    for (int i = 0; i < opacities; ++i) {
        PsdOpacityStop& stop = r->opacity_stops[i];
        stop.location = psd_read_u32(ctx);
        stop.midpoint = psd_read_u32(ctx);
        stop.opacity = int16_t(psd_read_u16(ctx));
    }

    r->expansion_count = psd_read_u16(ctx);
    if (r->expansion_count > 0) {
        r->interpolation = psd_read_u16(ctx);
        r->expansion_length = psd_read_u16(ctx);
        if (r->expansion_length >= 32) {
            r->mode = psd_read_u16(ctx);
            r->random_seed = psd_read_u32(ctx);
            r->showing_transparency = psd_read_u16(ctx);
            r->using_vector_color = psd_read_u16(ctx);
            r->roughness = psd_read_u32(ctx);
            const int model = psd_read_u16(ctx);
            // Components as 16-bit values whose high byte is the colour's level.
            for (uint32_t* color : {&r->minimum_color, &r->maximum_color}) {
                uint16_t c[4];
                for (uint16_t& v : c)
                    v = uint16_t(int16_t(psd_read_u16(ctx)) >> 8);
                psd_color_to_rgb(color, model, c[0], c[1], c[2], c[3]);
            }
        }
    }
    psd_read_u16(ctx);
    return finish(layer);
}

int psd_parse_photo_filter(PsdContext* ctx, PsdLayerRecord* layer, uint32_t) {
    PsdPhotoFilter* r = nullptr;
    if (int s = psd_begin_entry(layer, PSD_ENTRY_PHOTO_FILTER, PSD_KIND_PHOTO_FILTER, r))
        return psd_entry_not_added(s);
    // Version 3 gives the filter's colour as XYZ, version 2 as a colour structure.
    r->version = psd_read_u16(ctx);
    r->color = 0x00FFFFFF;
    if (r->version == 2) {
        r->color_space = int16_t(psd_read_u16(ctx));
        for (uint16_t& component : r->components)
            component = psd_read_u16(ctx);
        r->color = psd_color_structure_to_argb(r->color_space, r->components);
    } else if (r->version == 3) {
        // XYZ as signed 24.8 fixed point: the arithmetic shift keeps the sign.
        r->x = int32_t(psd_read_u32(ctx)) >> 8;
        r->y = int32_t(psd_read_u32(ctx)) >> 8;
        r->z = int32_t(psd_read_u32(ctx)) >> 8;
    } else {
        return PSD_ERR_PHOTO_FILTER_VERSION;
    }
    r->density = psd_read_u32(ctx);
    r->preserve_luminosity = psd_read_bool(ctx);
    psd_skip(ctx, 1);
    return finish(layer);
}
