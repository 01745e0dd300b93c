#include "HdrTransfer.h"

#include <algorithm>
#include <cmath>

namespace vistrel {

namespace {

constexpr double kDiffuseWhite = 203; // cd/m²
constexpr double kKnee = 0.8;

// Light relative to diffuse white, at most `peak` / diffuse white, into 0 to 1.
double shoulder(double light, double peak) {
    if (light <= kKnee) return std::max(light, 0.0);
    const double excess = (light - kKnee) / (1 - kKnee);
    const double most = (peak / kDiffuseWhite - kKnee) / (1 - kKnee);
    const double compressed = excess * (1 + excess / (most * most)) / (1 + excess);
    return std::min(kKnee + (1 - kKnee) * compressed, 1.0);
}

} // namespace

double displayLightOfPq(double signal) {
    // SMPTE ST 2084's EOTF.
    constexpr double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
    constexpr double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double e = std::pow(std::clamp(signal, 0.0, 1.0), 1 / m2);
    const double nits = 10000 * std::pow(std::max(e - c1, 0.0) / (c2 - c3 * e), 1 / m1);
    return shoulder(nits / kDiffuseWhite, 10000);
}

double displayLightOfHlg(double signal) {
    // BT.2100's inverse OETF, then the OOTF of a 1000 cd/m² display.
    constexpr double a = 0.17883277, b = 0.28466892, c = 0.55991073;
    const double s = std::clamp(signal, 0.0, 1.0);
    const double scene = s <= 0.5 ? s * s / 3 : (std::exp((s - c) / a) + b) / 12;
    const double nits = 1000 * std::pow(scene, 1.2);
    return shoulder(nits / kDiffuseWhite, 1000);
}

} // namespace vistrel
