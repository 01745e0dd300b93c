// The additional-information blocks that make a layer an adjustment layer, a fill layer or a
// layer with old-style type tool data, and the entries in which a layer keeps what they hold.
//
// The layer reader finds each block ("8BIM", key, length), calls the parser for its key with the
// block's data length (rounded up to even) and afterwards moves to the block's end itself. Each
// parser registers one entry on the layer, sets the layer's kind, reads the block's fixed layout
// into a record the entry owns, and returns 0 or a status code that fails the load.
#pragma once

#include "psd_values.h"

#include <cstdint>

// What an additional-information entry holds (the layer record's entry type codes).
enum PsdEntryType : uint32_t {
    PSD_ENTRY_LEVELS = 1,
    PSD_ENTRY_CURVES = 2,
    PSD_ENTRY_BRIGHTNESS_CONTRAST = 3,
    PSD_ENTRY_COLOR_BALANCE = 4,
    PSD_ENTRY_HUE_SATURATION = 5,
    PSD_ENTRY_SELECTIVE_COLOR = 6,
    PSD_ENTRY_THRESHOLD = 7,
    PSD_ENTRY_INVERT = 8,
    PSD_ENTRY_POSTERIZE = 9,
    PSD_ENTRY_CHANNEL_MIXER = 10,
    PSD_ENTRY_GRADIENT_MAP = 11,
    PSD_ENTRY_PHOTO_FILTER = 12,
    PSD_ENTRY_TYPE_TOOL = 13,
    PSD_ENTRY_EFFECTS_OLD = 15, // "lrFX"
    PSD_ENTRY_EFFECTS = 16,     // "lfx2"
    PSD_ENTRY_SOLID_COLOR = 17,
    PSD_ENTRY_GRADIENT_FILL = 18,
    PSD_ENTRY_PATTERN_FILL = 19,
};

// Layer kinds these parsers set (0 ordinary, 1 group end and 2 group start come from "lsct").
enum PsdAdjustmentKind : int32_t {
    PSD_KIND_SOLID_COLOR = 3,
    PSD_KIND_GRADIENT_FILL = 4,
    PSD_KIND_LEVELS = 6,
    PSD_KIND_CURVES = 7,
    PSD_KIND_BRIGHTNESS_CONTRAST = 8,
    PSD_KIND_COLOR_BALANCE = 9,
    PSD_KIND_HUE_SATURATION = 10,
    PSD_KIND_SELECTIVE_COLOR = 11,
    PSD_KIND_THRESHOLD = 12,
    PSD_KIND_INVERT = 13,
    PSD_KIND_POSTERIZE = 14,
    PSD_KIND_CHANNEL_MIXER = 15,
    PSD_KIND_GRADIENT_MAP = 16,
    PSD_KIND_PHOTO_FILTER = 17,
    PSD_KIND_PATTERN_FILL = 19,
};

struct PsdLevelRecord {
    uint16_t input_floor, input_ceiling, output_floor, output_ceiling;
    float gamma; // the file's signed value x 0.01
};

struct PsdLevels {
    PsdLevelRecord records[29];
    uint16_t extra_count;
    PsdLevelRecord* extra;
};

inline constexpr int kPsdMaxCurvePoints = 19;

struct PsdCurve {
    uint16_t channel;     // bit number in the file's channel mask
    uint16_t point_count; // at most kPsdMaxCurvePoints
    uint16_t output[kPsdMaxCurvePoints];
    uint16_t input[kPsdMaxCurvePoints];
};

struct PsdCurves {
    uint16_t count;
    PsdCurve* curves;
};

struct PsdBrightnessContrast {
    uint16_t brightness, contrast, mean;
    uint8_t lab_only;
};

struct PsdColorBalance {
    uint16_t cyan_red[3], magenta_green[3], yellow_blue[3]; // shadows, midtones, highlights
    uint8_t preserve_luminosity;
};

struct PsdHueSaturation {
    uint8_t colorize;
    uint16_t colorize_hue, colorize_saturation, colorize_lightness;
    uint16_t master_hue, master_saturation, master_lightness;
    uint16_t ranges[24];   // four values per range, six ranges
    uint16_t settings[18]; // hue, saturation, lightness per range
};

struct PsdSelectiveColor {
    uint16_t method; // 0 relative, 1 absolute
    uint16_t cyan[10], magenta[10], yellow[10], black[10];
};

struct PsdThreshold {
    uint16_t level;
};

struct PsdPosterize {
    uint16_t levels;
};

struct PsdChannelMixer {
    uint8_t monochrome;
    uint16_t values[5][4]; // [red, green, blue, black amounts, constant][output channel]
};

struct PsdGradientMap {
    uint8_t reverse, dither;
    uint32_t name_length; // UTF-16 units
    uint8_t* name;
    int16_t color_stop_count;
    PsdColorStop* color_stops;
    int16_t opacity_stop_count;
    PsdOpacityStop* opacity_stops;
    uint16_t expansion_count, interpolation, expansion_length, mode;
    uint32_t random_seed;
    uint16_t showing_transparency, using_vector_color;
    uint32_t roughness;
    uint32_t minimum_color, maximum_color;
};

struct PsdPhotoFilter {
    uint16_t version; // 2: a colour structure; 3: XYZ
    int32_t x, y, z;  // version 3
    // Version 2: the colour structure's space and components as in the file, and the colour.
    int16_t color_space;
    uint16_t components[4];
    uint32_t color; // 0xAARRGGBB (0x00FFFFFF for a space without a conversion, and version 3)
    uint32_t density;
    uint8_t preserve_luminosity;
};

struct PsdTypeFace {
    uint16_t mark;
    uint32_t font_type;
    char font_name[256], family_name[256], style_name[256];
    uint16_t script;
    uint32_t axis_count;
    uint32_t* design_vector;
};

struct PsdTypeStyle {
    uint16_t mark, face_mark;
    uint32_t size, tracking, kerning, leading, base_shift;
    uint8_t auto_kern, rotate;
};

struct PsdTypeLine {
    uint32_t char_count;
    uint16_t orientation, alignment, actual_char, style;
};

struct PsdTypeTool {
    double transform[6]; // xx, xy, yx, yy, tx, ty
    int16_t face_count;
    PsdTypeFace* faces;
    int16_t style_count;
    PsdTypeStyle* styles;
    uint16_t text_type; // 0 point, 1 paragraph
    uint32_t scaling_factor, char_count, horizontal_placement, vertical_placement;
    uint32_t selection_start, selection_end;
    int16_t line_count;
    PsdTypeLine* lines;
    uint32_t color;
    uint8_t anti_alias;
};

struct PsdSolidColorFill {
    uint32_t class_id; // the descriptor's class key; 0 when the class is given as a name
    uint32_t color;
    PsdModelColor color_model;
};

struct PsdGradientFill {
    uint32_t class_id;
    double angle;
    int32_t type; // 0 linear, 1 radial, 2 angle, 3 reflected, 4 diamond
    int32_t scale;
    uint8_t reverse, dither, align;
    PsdGradient gradient;
};

struct PsdPatternFill {
    uint32_t class_id;
    PsdPatternRef pattern;
    int32_t scale;
};

// Registers an entry of `type` on the layer with a zeroed record of `size` bytes (none for 0).
// Gives PSD_OK with *record set, PSD_ERR_MEMORY, or PSD_LAYER_ENTRIES_FULL when the layer already
// holds kPsdMaxLayerInfo entries: the block is then passed over and the layer stays as it is.
inline constexpr int PSD_LAYER_ENTRIES_FULL = 1;
int psd_add_layer_entry(PsdLayerRecord* layer, uint32_t type, size_t size, void** record);
// Releases one entry's record and everything it owns, by the entry's type.
void psd_free_layer_entry(uint32_t type, void* record);

// The parsers, one per key (the layer reader's key table holds them). `length` is the block's data
// length (rounded up to even; the layer reader keeps it inside the layer's extra data).
using PsdLayerInfoParser = int (*)(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);
int psd_parse_levels(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);          // "levl"
int psd_parse_curves(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);          // "curv"
int psd_parse_brightness(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);      // "brit"
int psd_parse_color_balance(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);   // "blnc"
int psd_parse_hue_saturation(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);  // "hue2"
int psd_parse_selective_color(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length); // "selc"
int psd_parse_threshold(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);       // "thrs"
int psd_parse_invert(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);          // "nvrt"
int psd_parse_posterize(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);       // "post"
int psd_parse_channel_mixer(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);   // "mixr"
int psd_parse_gradient_map(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);    // "grdm"
int psd_parse_photo_filter(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);    // "phfl"
int psd_parse_type_tool(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);       // "tySh"
int psd_parse_solid_color(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);     // "SoCo"
int psd_parse_gradient_fill(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);   // "GdFl"
int psd_parse_pattern_fill(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);    // "PtFl"
int psd_parse_effects_old(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);     // "lrFX"
int psd_parse_effects(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);         // "lfx2"
