#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"

namespace vistrel {

// PSD files through the PSD reader's merged picture: 3 channels give 24 bits, 4 channels 32. The
// reader's status codes become refusals.
DecodeResult decodePsd(const char* path, Picture& picture);

// The 26-byte file header: size, and the depth its channel count gives.
DecodeResult readPsdHeader(ByteSource& source, PictureHeader& header);

} // namespace vistrel
