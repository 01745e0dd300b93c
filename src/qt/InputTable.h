// The one input table: which key, button or wheel turn, under which condition, asks the window
// for which action. The window never sees a toolkit key or button code.
#pragma once

#include "Action.h"

#include <Qt>

#include <optional>

namespace vistrel {

enum class Trigger { Key, Press, DoubleClick, Wheel };

// The first binding of the table that matches. `code` is a Qt::Key for keys, a Qt::MouseButton
// for presses and double clicks, and +1 (up, away from the user) or -1 (down) for a wheel notch.
// `buttons` are the mouse buttons held.
std::optional<Action> actionFor(Trigger trigger, int code, Qt::KeyboardModifiers modifiers,
                                Qt::MouseButtons buttons);

} // namespace vistrel
