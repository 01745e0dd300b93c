#include "PsdDecoder.h"

namespace vistrel {

// The PSD reader is not wired in yet: PSD files fail to load.
bool decodePsd(const char*, Picture&) {
    return false;
}

} // namespace vistrel
