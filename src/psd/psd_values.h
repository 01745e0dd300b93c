// The structured descriptor values that fill layers and layer effects share: RGB colours,
// enumerations, points, pattern references, gradients with their stops, and contours, which are
// turned at once into a 256-entry lookup table.
//
// Each reader is called right after its caller has read an item's key and type, reads the item's
// value in the fixed item order the format's writers produce and reports nothing: values in other
// layouts are read as if they had this one.
#pragma once

#include "psd_descriptor.h"

#include <cstdint>

struct PsdColorStop {
    uint32_t location;   // 0 to 4096 along the gradient
    uint32_t midpoint;   // percent
    uint32_t color;      // 0xAARRGGBB
    uint32_t color_type; // 0 foreground, 1 background, 2 user colour
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

uint32_t psd_read_rgb_object(PsdBlock& block);
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
