#include "CachedPicture.h"

namespace vistrel {

// The EXIF scan is not wired in yet: pictures stay as decoded.
void CachedPicture::applyExif(const char*) {}

} // namespace vistrel
