#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"

namespace vistrel {

// PSD and PSB files through the PSD reader's merged picture: 3 channels give 24 bits, 4
// channels 32. The reader's status codes become refusals.
DecodeResult decodePsd(const char* path, Picture& picture);
// The same with the file's ICC profile (resource 1039); a 4-channel CMYK file that has one comes
// out as its inks, for the profile (PictureMetadata::inks).
DecodeResult decodePsd(const char* path, Picture& picture, PictureMetadata& metadata);

// The 26-byte file header: size, and the depth its channel count gives.
DecodeResult readPsdHeader(ByteSource& source, PictureHeader& header);

} // namespace vistrel
