// The one input table's Qt rows: Qt's key and button codes for the table's rules
// (src/viewer/InputBindings.h).
#pragma once

#include "InputBindings.h"

#include <Qt>

#include <optional>

namespace vistrel {

// The first binding of the table that matches. `code` is a Qt::Key for keys, a Qt::MouseButton
// for presses and double clicks, and +1 (up, away from the user) or -1 (down) for a wheel notch.
// `buttons` are the mouse buttons held.
std::optional<Action> actionFor(Trigger trigger, int code, Qt::KeyboardModifiers modifiers,
                                Qt::MouseButtons buttons);

} // namespace vistrel
