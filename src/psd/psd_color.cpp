// Colour structures and the Lab, HSB and CMYK conversions.
#include "psd_internal.h"

#include <cmath>

namespace {

uint32_t clamp_byte(double v) {
    // Truncation toward zero first, as the format's readers do, then the clamp.
    const double t = std::trunc(v);
    if (!(t > 0.0)) return 0; // also NaN
    return t >= 255.0 ? 255u : uint32_t(t);
}

double lab_inverse(double t) {
    const double v = std::pow(t, 3.0);
    return v <= 0.008856 ? (t - 16.0 / 116.0) * 0.1284191601386927 : v;
}

double srgb_curve(double c) {
    return c > 0.0031308 ? 1.055 * std::pow(c, 0.4166666666666667) - 0.055 : c * 12.92;
}

// HSL sector rule; x in degrees.
double hsl_sector(double x, double t1, double t2) {
    x = std::fmod(x, 360.0);
    if (x < 60.0) return 255.0 * (t1 + (t2 - t1) * x / 60.0);
    if (x < 180.0) return 255.0 * t2;
    if (x >= 240.0) return 255.0 * t1;
    return 255.0 * (t1 + (t2 - t1) * (240.0 - x) / 60.0);
}

uint32_t hsb_to_argb(double h, double s, double l) {
    if (s == 0.0) {
        const uint32_t v = clamp_byte(l * 255.0);
        return psd_pack_argb(255, v, v, v);
    }
    const double t2 = l <= 0.5 ? l * (1.0 + s) : l + s - l * s;
    const double t1 = 2.0 * l - t2;
    return psd_pack_argb(255, clamp_byte(hsl_sector(h + 120.0, t1, t2)),
                         clamp_byte(hsl_sector(h, t1, t2)),
                         clamp_byte(hsl_sector(h - 120.0, t1, t2)));
}

uint32_t cmyk_percent_channel(double ink, double k) {
    return clamp_byte(255.0 * std::trunc(1.0 - (ink * (1.0 - k) + k)));
}

} // namespace

uint32_t psd_lab_to_argb(double L, double a, double b, uint32_t alpha) {
    const double fy = (L + 16.0) * 0.008620689655172414;
    const double fx = a * 0.002 + fy;
    const double fz = fy - b * 0.005;
    // D65 white point; the two scalings cancel to the normalised tristimulus values.
    const double x = lab_inverse(fx) * 95.047 * 0.01;
    const double y = lab_inverse(fy) * 100.0 * 0.01;
    const double z = lab_inverse(fz) * 108.883 * 0.01;
    const double r = srgb_curve(3.2406 * x - 1.5372 * y - 0.4986 * z);
    const double g = srgb_curve(-0.9689 * x + 1.8758 * y + 0.0415 * z);
    const double bl = srgb_curve(0.0557 * x - 0.2040 * y + 1.0570 * z);
    return psd_pack_argb(alpha, clamp_byte(r * 256.0), clamp_byte(g * 256.0),
                         clamp_byte(bl * 256.0));
}

int psd_color_to_rgb(uint32_t* result, int space, uint16_t c0, uint16_t c1, uint16_t c2,
                     uint16_t c3) {
    uint32_t color = 0x00FFFFFF;
    int status = PSD_OK;
    switch (space) {
    case 0:
        color = psd_pack_argb(255, c0 & 0xFF, c1 & 0xFF, c2 & 0xFF);
        break;
    case 1:
        color = hsb_to_argb(double(c0), c1 * 0.01, c2 * 0.01);
        break;
    case 2: {
        const double k = c3 * 0.01;
        color =
            psd_pack_argb(255, cmyk_percent_channel(c0 * 0.01, k),
                          cmyk_percent_channel(c1 * 0.01, k), cmyk_percent_channel(c2 * 0.01, k));
        break;
    }
    case 7:
        color = psd_lab_to_argb(double(c0), double(c1), double(c2), 255);
        break;
    default:
        status = PSD_ERR_COLOR_SPACE;
        break;
    }
    if (result) *result = color;
    return status;
}

namespace {

// Only the high byte of each component counts, sign-extended to 16 bits.
uint32_t color_from_raw(int space, const uint16_t raw[4]) {
    uint16_t c[4];
    for (int i = 0; i < 4; ++i)
        c[i] = uint16_t(int16_t(int8_t(uint8_t(raw[i] >> 8))));
    uint32_t color = 0x00FFFFFF;
    psd_color_to_rgb(&color, space, c[0], c[1], c[2], c[3]);
    return color;
}

} // namespace

uint32_t psd_color_structure_to_argb(int space, const uint16_t components[4]) {
    return color_from_raw(space, components);
}

uint32_t psd_read_color(PsdContext* ctx) {
    const int space = int16_t(psd_read_u16(ctx));
    uint16_t raw[4];
    for (uint16_t& component : raw)
        component = psd_read_u16(ctx);
    return color_from_raw(space, raw);
}

uint32_t psd_cursor_color(PsdCursor& cursor) {
    const int space = int16_t(cursor.u16());
    uint16_t raw[4];
    for (uint16_t& component : raw)
        component = cursor.u16();
    return color_from_raw(space, raw);
}
