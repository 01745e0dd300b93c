// The screen's size asked of the X server directly, before the toolkit has loaded: the command-line
// picture's decode starts from it while Qt comes up.
#pragma once

#include "Geometry.h"

#include <optional>

namespace vistrel {

// The size of the X display's default screen: its root window, which spans every monitor and so
// is never smaller than the primary one. Nothing without an X display (or when Qt is told to use
// another platform).
std::optional<Size> guessScreenSize();

} // namespace vistrel
