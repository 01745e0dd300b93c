// One item of a popup menu as the window builds it and the toolkit shows it.
#pragma once

#include <string>

namespace vistrel {

// Pictures shown beside a menu item's text.
enum class MenuImage {
    None,
    RotateClockwiseLarge, // for menus whose check mark is 15 pixels wide or more
    RotateCounterClockwiseLarge,
    RotateClockwiseSmall,
    RotateCounterClockwiseSmall,
};

struct MenuItem {
    // What the host hands back when the item is chosen; the window's own command number, which
    // the host does not interpret. Unused for a separator.
    int command = 0;
    std::string text;
    bool separator = false;
    bool checked = false;
    bool radio = false; // the check shows as a radio mark
    bool grayed = false;
    MenuImage image = MenuImage::None;
};

} // namespace vistrel
