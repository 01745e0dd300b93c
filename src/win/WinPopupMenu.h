// The context menu model shown as a Win32 popup menu, with the rotate items' bitmaps from the
// program's resources.
#pragma once

#include "Geometry.h"
#include "MenuItem.h"

#include <windows.h>

#include <vector>

namespace vistrel {

// Shows the items at `screenPoint` and waits for a choice: the chosen item's command, or -1 when
// the menu was dismissed. Messages (timers, posted requests) are still handled meanwhile.
int TrackMenu(HWND owner, HINSTANCE instance, const std::vector<MenuItem>& items,
              Point screenPoint);

// The owner's part in drawing an item's image (WM_MEASUREITEM and WM_DRAWITEM of a menu): the
// image is drawn through its alpha, which a menu's own drawing of a bitmap does not do
// everywhere. False for what is not one of these images.
bool MeasureMenuImage(MEASUREITEMSTRUCT& item);
bool DrawMenuImage(const DRAWITEMSTRUCT& item);

} // namespace vistrel
