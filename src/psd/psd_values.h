// The structured descriptor values that fill layers and layer effects share: colours, numbers
// with their units, enumerations, points, pattern references, gradients with their stops, and
// contours, which are turned at once into a 256-entry lookup table.
//
// Each reader is called right after its caller has read an item's key and type, reads the item's
// value in the fixed item order the format's writers produce and reports nothing: values in other
// layouts are read as if they had this one.
#pragma once

#include "psd_descriptor.h"

#include <cstdint>

// A colour in the model a descriptor gives it in, by its class: the components as the file
// states them. RGB: red, green, blue 0 to 255. HSB: hue in degrees, saturation and brightness in
// percent. CMYK: cyan, magenta, yellow, black ink in percent. Lab: lightness 0 to 100, a, b.
// Grayscale: black ink in percent. A book colour (a colour from a swatch book) is given by the
// components it carries besides its book and name.
enum PsdColorModel : int32_t {
    PSD_COLOR_RGB = 0, // the colour structure's space ids
    PSD_COLOR_HSB = 1,
    PSD_COLOR_CMYK = 2,
    PSD_COLOR_LAB = 7,
    PSD_COLOR_GRAY = 8,
};

struct PsdModelColor {
    uint8_t given; // 1 when a descriptor gave the colour
    uint8_t book;  // a book colour
    int32_t model; // PsdColorModel
    double components[4];
};

// A "UntF" number: as the file gives it with its unit key ("#Pxl" pixels, "#Pnt" points, "#Mlm"
// millimetres, "#Prc" percent, "#Ang" degrees, ...; 0 where the file gives none), and its value in
// the field's measure: lengths given in points or millimetres are converted to pixels through the
// document's resolution (resource 1005, 72 pixels per inch without it), all others are as given.
struct PsdUnitValue {
    double value;
    double given;
    uint32_t unit;
};
inline PsdUnitValue psd_unit(double value) {
    return {value, value, 0};
}

struct PsdColorStop {
    uint32_t location;   // 0 to 4096 along the gradient
    uint32_t midpoint;   // percent
    uint32_t color;      // 0xAARRGGBB
    uint32_t color_type; // 0 foreground, 1 background, 2 user colour
    PsdModelColor color_model;
};

struct PsdOpacityStop {
    uint32_t location;
    uint32_t midpoint;
    int16_t opacity; // percent
};

struct PsdGradient {
    int32_t smoothness;   // "Intr"
    uint32_t name_length; // UTF-16 units
    uint8_t* name;        // big-endian UTF-16 as in the file
    int16_t color_stop_count;
    PsdColorStop* color_stops;
    int16_t opacity_stop_count;
    PsdOpacityStop* opacity_stops;
};

inline constexpr uint32_t kPsdPatternIdSize = 256;

struct PsdPatternRef {
    uint32_t name_length; // UTF-16 units
    uint8_t* name;        // big-endian UTF-16 as in the file
    // One byte per UTF-16 unit of the identifier (its low byte), zero-filled after; an identifier
    // of 256 units fills it without a terminator.
    uint8_t identifier[kPsdPatternIdSize];
};

// A transfer curve as a lookup table: entry i is the output level for input level i.
struct PsdContour {
    uint8_t table[256];
};

inline constexpr int kPsdMaxContourPoints = 256;

void psd_contour_identity(PsdContour* contour);

// The value of a colour item (an "Objc" of class "RGBC", "HSBC", "CMYC", "LbCl", "Grsc", a book
// colour, ...), walked by its items' keys: the colour in RGB as 0xFFRRGGBB, and in its own model
// through `model` (may be null). A class it cannot tell gives black.
uint32_t psd_read_color_object(PsdBlock& block, PsdModelColor* model, int depth);
// The RGB of a colour in its own model.
uint32_t psd_model_color_to_argb(const PsdModelColor& color);
// The value of a "UntF" item (after its key and type): unit and number.
PsdUnitValue psd_read_unit_value(PsdBlock& block);
// A number item's value of any numeric type ("doub", "UntF", "long", "comp"); other types are
// skipped and give 0.
double psd_read_number(PsdBlock& block, uint32_t type, int depth);
// The value of an "enum" item after its caller dropped the type ID (two u32).
PsdBlendMode psd_read_blend_enum(PsdBlock& block);
int32_t psd_read_glow_technique(PsdBlock& block); // 0 softer, 1 precise, 2 slope limit
int32_t psd_read_gradient_type(PsdBlock& block);  // 0 linear ... 4 diamond
void psd_read_point(PsdBlock& block, int32_t* horizontal, int32_t* vertical, int depth);
// These two release what the record held before: a repeated item replaces the earlier value.
void psd_read_pattern_ref(PsdBlock& block, PsdPatternRef* pattern, int depth);
void psd_read_gradient(PsdBlock& block, PsdGradient* gradient, int depth);
void psd_read_contour(PsdBlock& block, PsdContour* contour, int depth);

// Fills `table` from n points (horizontal x, vertical y, corner flags c, horizontal coordinates
// rising) by Catmull-Rom segments traced with forward differences, in double precision.
void psd_build_contour_table(const uint8_t* x, const uint8_t* y, const uint8_t* corner, int n,
                             uint8_t table[256]);

void psd_free_gradient(PsdGradient* gradient);
void psd_free_pattern_ref(PsdPatternRef* pattern);
