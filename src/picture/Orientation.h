// The eight EXIF orientations applied to a decoded picture: turns by quarter and half turns,
// and mirrors.
#pragma once

#include "Geometry.h"
#include "Picture.h"

namespace vistrel {

// Whether the orientation (1 to 8) stands the picture on its side: 5 to 8 swap width and height.
inline bool swapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}
inline Size orientedSize(Size stored, int orientation) {
    return swapsSides(orientation) ? Size{stored.height, stored.width} : stored;
}

// Turns and mirrors the stored picture so that it stands as the orientation says: 2 mirrored
// left to right, 3 a half turn, 4 mirrored top to bottom, 5 mirrored along the diagonal from the
// top-left, 6 a quarter turn clockwise, 7 mirrored along the other diagonal, 8 a quarter turn
// counter-clockwise. Pictures below 24 bits become 24-bit first, as a turn makes them. Other
// values change nothing.
void orientPicture(Picture& picture, int orientation);

} // namespace vistrel
