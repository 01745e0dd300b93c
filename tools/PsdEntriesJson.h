// The JSON of a PSD layer's additional-information entries (adjustment, fill and type data and
// layer effects), for vistrel-psd.
#pragma once

#include "JsonWriter.h"

#include <cstdint>

namespace vistrel {

// One entry as an object: {"type": NAME, ...its fields}.
void writeLayerEntry(JsonWriter& json, uint32_t type, const void* record);
// The name vistrel-psd gives a blend mode ("normal", "multiply", ...).
const char* blendModeName(int32_t mode);

} // namespace vistrel
