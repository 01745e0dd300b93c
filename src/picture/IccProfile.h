// The checks an embedded ICC profile passes before the colour library parses it: a profile is
// file data like any other, and the library trusts its offsets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistrel {

// The profile's device colour space, from its header.
enum class ProfileSpace : uint8_t { Other, Rgb, Gray, Cmyk };

// Profiles larger than this are taken for damage (the largest real ones, with big colour
// tables, stay well under it).
inline constexpr std::size_t kMaxProfileBytes = std::size_t(16) << 20;

struct ProfileHeader {
    // Bytes the profile's header says it has; the data may hold more (padding), never fewer.
    std::size_t size = 0;
    ProfileSpace space = ProfileSpace::Other;
    // The rendering intent the profile asks for (0 perceptual ... 3 absolute colorimetric).
    uint32_t intent = 0;
};

// Checks the 128-byte header and the tag table: the size the header states lies within the data
// and kMaxProfileBytes, the "acsp" signature, a device class that converts pictures (input,
// display, output or colour space, not a link or an abstract profile), a connection space of XYZ
// or Lab, a tag count its table can hold and every tag's data inside the profile. False for
// anything else; `header` is then unspecified.
bool checkProfile(const uint8_t* data, std::size_t size, ProfileHeader& header);

} // namespace vistrel
