#pragma once

#include "Picture.h"

namespace vistrel {

// PSD files through the PSD reader's merged picture: 3 channels give 24 bits, 4 channels 32.
bool decodePsd(const char* path, Picture& picture);

} // namespace vistrel
