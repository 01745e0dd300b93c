// The PNG writer that the desktop background uses for formats the desktops cannot read.
#pragma once

namespace vistrel {

class Picture;

// Writes the picture as an 8-bit PNG file, top row first: RGBA for a 32-bit picture with real
// transparency, RGB for everything else (the fourth byte of an opaque 32-bit picture pads).
// Quickly compressed: the file is read once by the desktop, and the user waits for it. False,
// with no file left behind, when the picture is empty or the file cannot be fully written.
bool SaveAsPng(Picture& picture, const char* path);

} // namespace vistrel
