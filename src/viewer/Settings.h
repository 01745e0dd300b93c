// The settings store: 32-bit values by name in the user's Quorbane/Vistrel settings.
#pragma once

#include "Platform.h"

#include <cstdint>

namespace vistrel {

// The stored value, or -1 when it is missing or is not a 32-bit integer. A stored -1 (or
// 4294967295) cannot be told from a missing value; every caller treats both alike.
int32_t ReadSetting(const char* name);
// Stores the value; 0 on success, else a non-zero error code (callers ignore it).
int32_t WriteSetting(const char* name, int32_t value);

} // namespace vistrel
