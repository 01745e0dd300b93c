// What a file says about how its pixels are meant to be shown, beside the pixels themselves: the
// one form in which every decoder hands over its orientation, colour space and camera text, and
// which CachedPicture applies (applyMetadata) before the picture's screen copy is made.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

class Animation;

// A colour space a file states by numbers instead of embedding a profile (a PNG's cHRM with its
// gAMA; a format's coded primaries and transfer).
struct ColorDescription {
    enum class Transfer : uint8_t {
        Srgb,  // the sRGB curve
        Gamma, // stored = linear ^ (1 / gamma)
        Pq,    // high dynamic range, tone-mapped for the display (HdrTransfer.h)
        Hlg,   // the same
    };
    // CIE 1931 xy chromaticities.
    double white[2] = {0.3127, 0.3290};
    double red[2] = {0.64, 0.33};
    double green[2] = {0.30, 0.60};
    double blue[2] = {0.15, 0.06};
    Transfer transfer = Transfer::Srgb;
    double gamma = 2.2; // for Transfer::Gamma: the exponent that decodes a stored value
};

struct PictureMetadata {
    // The EXIF orientation, 1 to 8: how the stored rows are turned and mirrored to stand upright
    // (1 as stored, 3 a half turn, 6 a quarter clockwise, 8 counter-clockwise, 2, 4, 5 and 7
    // the same mirrored).
    uint8_t orientation = 1;
    // Camera make and model as the caption shows them; empty when the file names none.
    std::string cameraText;
    // When the picture was taken, as the properties show it (ExifFacts::dateTaken).
    std::string dateTaken;
    // The embedded ICC profile as stored; empty when there is none. Checked before anything
    // parses it (IccProfile.h): a damaged one counts as none.
    std::vector<uint8_t> iccProfile;
    // Used where there is no profile.
    std::optional<ColorDescription> described;
    // The file says its pixels are sRGB (a PNG's sRGB chunk): nothing to convert.
    bool declaredSrgb = false;
    // The pixels are a CMYK file's inks as stored (a 32-bit picture of bytes cyan, magenta,
    // yellow, black; 255 for no ink): converted through the profile, or plainly without one.
    bool inks = false;
    // The frames after the first, for a file of several (Animation.h); null for a still.
    std::shared_ptr<Animation> animation;
};

} // namespace vistrel
