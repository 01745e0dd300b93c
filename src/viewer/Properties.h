// The information view: what the picture on show and its file are, as rows of a label and a
// value (name, folder, file size, dimensions, format, colour profile, camera, date taken).
#pragma once

#include "WindowHost.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

class CachedPicture;

// The rows for the record; its file's are read now (a bounded part of its start).
std::vector<PropertyRow> PropertiesOf(const CachedPicture& record);
// The view's title: "Properties of NAME", or of the pasted picture.
std::string PropertiesTitle(const CachedPicture& record);
// "1.2 MB (1,234,567 bytes)"; "512 bytes" below a kilobyte (units of 1000, as file managers
// count).
std::string FileSizeText(uint64_t bytes);

} // namespace vistrel
