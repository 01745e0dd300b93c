#include "MatrixShaper.h"

#include <algorithm>
#include <cmath>

namespace vistrel {

namespace {

struct Colorants {
    double m[3][3]; // XYZ (rows) of red, green, blue (columns), adapted to the D50 connection
    const cmsToneCurve* curves[3];
};

bool readColorants(cmsHPROFILE profile, Colorants& c) {
    if (uint32_t(cmsGetColorSpace(profile)) != uint32_t(cmsSigRgbData) ||
        !cmsIsMatrixShaper(profile))
        return false;
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                          cmsSigBlueColorantTag};
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int i = 0; i < 3; ++i) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, colorants[i]));
        c.curves[i] = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[i]));
        if (!xyz || !c.curves[i]) return false;
        c.m[0][i] = xyz->X;
        c.m[1][i] = xyz->Y;
        c.m[2][i] = xyz->Z;
    }
    return true;
}

bool invert(const double m[3][3], double out[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (std::fabs(det) < 1e-9) return false;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            out[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    return true;
}

} // namespace

std::unique_ptr<MatrixShaper> MatrixShaper::make(cmsHPROFILE source, cmsHPROFILE target,
                                                 cmsUInt32Number intent) {
    Colorants from, to;
    if (intent == INTENT_ABSOLUTE_COLORIMETRIC || !readColorants(source, from) ||
        !readColorants(target, to))
        return nullptr;
    double back[3][3];
    if (!invert(to.m, back)) return nullptr;
    auto shaper = std::make_unique<MatrixShaper>();
    for (int r = 0; r < 3; ++r) {
        // A row's weights together stay below 7.5, so that a row times linear values of at most
        // kOne fits 32 bits (real matrices, ProPhoto to sRGB included, stay near 3); anything
        // else, NaN too, is colorants of no use: lcms2 takes them.
        double weights = 0;
        for (int c = 0; c < 3; ++c) {
            double sum = 0;
            for (int k = 0; k < 3; ++k)
                sum += back[r][k] * from.m[k][c];
            weights += std::fabs(sum);
            if (!(weights < 7.5)) return nullptr;
            shaper->matrix_[r][c] = int32_t(std::lround(sum * kOne));
        }
    }
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v) {
            const double linear = cmsEvalToneCurveFloat(from.curves[c], float(v / 255.0));
            if (!std::isfinite(linear)) return nullptr; // a curve of no use: lcms2 takes it
            shaper->toLinear_[c][v] = int32_t(std::lround(std::clamp(linear, 0.0, 1.0) * kOne));
        }
        // Each linear step gets the code whose own linear value lies nearest along the target's
        // curve: the code v covers linear values below the curve halfway to v + 1. A curve that
        // is not finite and rising is left to lcms2.
        double limits[256];
        for (int v = 0; v < 255; ++v) {
            limits[v] = cmsEvalToneCurveFloat(to.curves[c], float((v + 0.5) / 255.0)) * kOne;
            if (!std::isfinite(limits[v]) || (v > 0 && limits[v] < limits[v - 1])) return nullptr;
        }
        limits[255] = 2.0 * kOne;
        int code = 0;
        for (int i = 0; i <= kOne; ++i) {
            while (code < 255 && i >= limits[code])
                ++code;
            shaper->toEncoded_[c][i] = uint8_t(code);
        }
    }
    for (int c = 0; c < 3; ++c) {
        shaper->linear_[c] = shaper->toLinear_[c];
        shaper->encoded_[c] = shaper->toEncoded_[c];
        for (int first = 0; first < c; ++first) {
            if (std::equal(shaper->toLinear_[c], shaper->toLinear_[c] + 256,
                           shaper->toLinear_[first]))
                shaper->linear_[c] = shaper->linear_[first];
            if (std::equal(shaper->toEncoded_[c], shaper->toEncoded_[c] + kOne + 1,
                           shaper->toEncoded_[first]))
                shaper->encoded_[c] = shaper->encoded_[first];
        }
    }
    return shaper;
}

void MatrixShaper::run(const uint8_t* in, std::size_t inStride, uint8_t* out, std::size_t outStride,
                       int width, int height, int pixelBytes) const {
    const int32_t m00 = matrix_[0][0], m01 = matrix_[0][1], m02 = matrix_[0][2];
    const int32_t m10 = matrix_[1][0], m11 = matrix_[1][1], m12 = matrix_[1][2];
    const int32_t m20 = matrix_[2][0], m21 = matrix_[2][1], m22 = matrix_[2][2];
    const int32_t *linearR = linear_[0], *linearG = linear_[1], *linearB = linear_[2];
    const uint8_t *encodedR = encoded_[0], *encodedG = encoded_[1], *encodedB = encoded_[2];
    auto encode = [](const uint8_t* table, int32_t v) {
        v = (v + kOne / 2) >> 14;
        return table[v < 0 ? 0 : v > kOne ? kOne : v];
    };
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = in + std::size_t(y) * inStride;
        uint8_t* d = out + std::size_t(y) * outStride;
        for (int x = 0; x < width; ++x, s += pixelBytes, d += pixelBytes) {
            // Memory order is blue, green, red.
            const int32_t r = linearR[s[2]], g = linearG[s[1]], b = linearB[s[0]];
            const uint8_t red = encode(encodedR, m00 * r + m01 * g + m02 * b);
            const uint8_t green = encode(encodedG, m10 * r + m11 * g + m12 * b);
            const uint8_t blue = encode(encodedB, m20 * r + m21 * g + m22 * b);
            d[0] = blue;
            d[1] = green;
            d[2] = red;
        }
    }
}

} // namespace vistrel
