// Pictures converted from the colour space their file states to the display's, through lcms2.
// A picture without a stated colour space, or stated as sRGB, is left as it is at no cost.
// Transforms are made once per pair of profiles and pixel layout and shared by every thread.
#pragma once

#include "Picture.h"
#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

// Where pictures are converted to.
struct ColorTarget {
    // Whether pictures are converted at all (the ColorManagement setting).
    bool manage = true;
    // The display's ICC profile; null (or a profile that cannot be used) for sRGB.
    std::shared_ptr<const std::vector<uint8_t>> displayProfile;

    bool operator==(const ColorTarget& other) const;
};

// A transform from a file's colour space to a target for one pixel layout; opaque.
class ColorTransform;

// What the colour space a file states is called: its profile's description, "sRGB" for a PNG's
// sRGB chunk, "gAMA/cHRM" for a described one; empty when it states none or its profile is
// damaged.
std::string describeColorSpace(const PictureMetadata& metadata);

// Converts the picture from the colour space the metadata states to the target: 24-bit pixels,
// 32-bit pixels (their alpha untouched) or the colour table of a picture of 8 bits or fewer. A
// large picture is converted in bands on every core (at most four). True when the pixels were
// changed; false when there was nothing to do (no colour space, sRGB, a profile that cannot be
// used or does not fit the picture, conversion off).
bool convertToTarget(Picture& picture, const PictureMetadata& metadata, const ColorTarget& target);

// The transform convertToTarget would convert a picture of `bitsPerPixel` with, made once for
// pictures that follow one another (an animation's frames); null where it would do nothing.
std::shared_ptr<const ColorTransform> targetTransform(const PictureMetadata& metadata,
                                                      const ColorTarget& target, int bitsPerPixel);
// Converts the picture through a transform of targetTransform; false when the transform is not
// for the picture's depth.
bool convertWith(const ColorTransform& transform, Picture& picture);

// For decoders of CMYK files with a CMYK profile: the transform of their inks, as stored in
// Adobe's inverted form (255 no ink), four bytes a pixel, to the pixels of a picture of
// `bitsPerPixel` (24 or 32). Null when the metadata has no usable CMYK profile or conversion is
// off.
std::shared_ptr<const ColorTransform> inkTransform(const PictureMetadata& metadata,
                                                   const ColorTarget& target, int bitsPerPixel);
// Whether the metadata holds a CMYK profile that passes its checks: a decoder of a CMYK file then
// keeps its inks for it.
bool hasInkProfile(const PictureMetadata& metadata);
// Converts inks, `inkRowBytes` apart, into the rows of the picture (of the transform's depth and
// the inks' size; at 32 bits alpha is made opaque). At 32 bits `ink` may be the picture's own
// pixels.
void convertInks(const ColorTransform& transform, const uint8_t* ink, std::size_t inkRowBytes,
                 Picture& picture);

// Turns a 32-bit picture of inks (PictureMetadata::inks) into colours in place, alpha opaque:
// through the metadata's CMYK profile to the target (true), or plainly where there is none or
// conversion is off (false).
bool convertInkPicture(Picture& picture, const PictureMetadata& metadata,
                       const ColorTarget& target);

// The picture, held in the target's colours, back in sRGB (a file written for other programs).
// False when nothing needed doing.
bool convertTargetToSrgb(Picture& picture, const ColorTarget& target);

} // namespace vistrel
