#pragma once

#include "Picture.h"

namespace vistrel {

// The JPEG codec library, loaded at run time on first use; opaque to callers.
struct JpegLibrary;

// The library when it loaded and its entry points were found; null otherwise, and then JPEG
// files go to the system picture decoder.
const JpegLibrary* jpegLibrary();
// Makes the library count as absent from now on (tools and tests of the fall-back).
void disableJpegLibrary();

bool decodeJpeg(const char* path, Picture& picture);

} // namespace vistrel
