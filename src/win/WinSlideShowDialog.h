// The modal "Slide Show Pictures" dialog from the program's dialog resource: the delay in
// seconds and the loop option.
#pragma once

#include "SlideShowSettings.h"

#include <windows.h>

namespace vistrel {

// Shows `settings`; "Start" reads the fields (the delay clamped to 1..15) into them and returns
// true, "Cancel" (or Esc) returns false and leaves them.
bool RunSlideShowDialog(HWND owner, HINSTANCE instance, SlideShowSettings& settings);

} // namespace vistrel
