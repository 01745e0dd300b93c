#include "Settings.h"

#include "Platform.h"

namespace vistrel {

int32_t ReadSetting(const char* name) {
    return platform().readSetting(name).value_or(-1);
}

int32_t WriteSetting(const char* name, int32_t value) {
    return platform().writeSetting(name, value);
}

} // namespace vistrel
