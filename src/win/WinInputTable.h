// The one input table's Win32 rows (src/viewer/InputBindings.h): virtual-key codes for keys,
// MK_LBUTTON, MK_RBUTTON and MK_MBUTTON for presses and double clicks.
#pragma once

#include "InputBindings.h"

#include <optional>

namespace vistrel {

std::optional<Action> winActionFor(Trigger trigger, int code, InputState state);

} // namespace vistrel
