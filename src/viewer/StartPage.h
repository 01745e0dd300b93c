// The texts of the start page without a skin: the keyboard and mouse map.
#pragma once

namespace vistrel {

// The widest line of the page; its extent in the default font sizes the page.
inline constexpr const char* kStartPageMeasureLine =
    " Double click right button : Toggle always on top ";

// Right-aligned left column and left-aligned right column; they line up row by row.
inline constexpr const char* kHelpLeftColumn =
    "  Drop in image file\n\nKeyboard map\n\n  Esc\n  Up\n  Down\n  *\nMouse map\n\n"
    "  Double click right button\n  Click center button\n  Wheel up\n  Wheel down";
inline constexpr const char* kHelpRightColumn =
    "\n\n\n\n: Exit\n: Previous image\n: Next image\n: Resize to screen\n\n\n: Exit\n"
    ": Toggle always on top\n: Previous image\n: Next image\n";

} // namespace vistrel
