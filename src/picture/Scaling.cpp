#include "CachedPicture.h"

namespace vistrel {

// Screen-sized copies are not made yet: the window draws the picture itself.
void CachedPicture::prepareScreenCopy() {}

void CachedPicture::rotate(int angle) {
    if (!picture) return;
    picture->rotateQuarter(angle);
    if (fitted) {
        fitted.reset();
        prepareScreenCopy();
    }
}

} // namespace vistrel
