#pragma once

#include "ByteSource.h"
#include "Picture.h"

namespace vistrel {

// Uncompressed bottom-up BMP files with a header of 40 bytes or more. Everything else (top-down
// rows, run-length, bit fields, embedded JPEG or PNG, the old 12-byte header) is refused, so that
// the system picture decoder takes the file.
bool decodeBmp(ByteSource& source, Picture& picture);
bool decodeBmp(const char* path, Picture& picture);

} // namespace vistrel
