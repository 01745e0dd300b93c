// The profile reader: the header and tag table checks, then lcms2 on what passed them, a
// transform to sRGB and a few pixels through it; and the PNG chunks a profile comes in.
#include "ColorManagement.h"
#include "IccProfile.h"
#include "PngMetadata.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ProfileHeader header;
    if (checkProfile(data, size, header) && header.size > size) std::abort();

    PictureMetadata metadata;
    metadata.iccProfile.assign(data, data + size);
    describeColorSpace(metadata);
    Picture picture;
    if (picture.create(7, 3, 24, true)) {
        for (uint32_t i = 0; i < picture.imageSize(); ++i)
            picture.pixels()[i] = uint8_t(i * 37);
        convertToTarget(picture, metadata, ColorTarget{});
    }
    // The same bytes as the display's profile: an unusable one stands for sRGB.
    ColorTarget display;
    display.displayProfile = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    PictureMetadata wide;
    wide.described = ColorDescription{};
    wide.described->transfer = ColorDescription::Transfer::Gamma;
    convertToTarget(picture, wide, display);

    PictureMetadata png;
    readPngMetadata(data, size, png);
    if (png.orientation < 1 || png.orientation > 8) std::abort();
    return 0;
}
