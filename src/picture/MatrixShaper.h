// Conversions between two RGB profiles of the matrix-and-curves kind (sRGB, Display P3, Adobe
// RGB, ProPhoto, nearly every camera's and display's), 8 bits a channel, by three tables and a
// matrix: what lcms2 computes for them, within a level, several times faster. This is the hot
// path of a phone photo's conversion.
#pragma once

#include <lcms2.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vistrel {

class MatrixShaper {
public:
    // Null unless both profiles are RGB matrix-shaper profiles whose curves and colorants can be
    // read, and the intent is not absolute colorimetric (which would also move the white).
    static std::unique_ptr<MatrixShaper> make(cmsHPROFILE source, cmsHPROFILE target,
                                              cmsUInt32Number intent);

    // Converts rows of `width` pixels of blue, green, red (`pixelBytes` 3) or blue, green, red,
    // alpha (4, alpha untouched), `inStride` and `outStride` bytes apart; in place when `in` and
    // `out` are the same.
    void run(const uint8_t* in, std::size_t inStride, uint8_t* out, std::size_t outStride,
             int width, int height, int pixelBytes) const;

private:
    // Linear light in 14 fraction bits.
    static constexpr int kOne = 1 << 14;

    int32_t toLinear_[3][256];       // red, green, blue of the source
    int32_t matrix_[3][3];           // target red, green, blue from the source's, 14 fraction bits
    uint8_t toEncoded_[3][kOne + 1]; // target red, green, blue from linear light
    // The tables used: most profiles have one curve for all three channels, and one table then
    // stays in the first-level cache.
    const int32_t* linear_[3];
    const uint8_t* encoded_[3];
};

} // namespace vistrel
