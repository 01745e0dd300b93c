#include "CachedPicture.h"

#include "ExifScan.h"
#include "Utf8.h"

#include <cstring>

namespace vistrel {

void CachedPicture::applyExif(const char* filePath) {
    int angle = 0;
    const char* text = scanExif(filePath, angle);
    applyExif(text, angle);
}

void CachedPicture::applyExif(const char* camera, int angle) {
    // A record loaded anew must not keep the camera of the file it held before.
    cameraText[0] = '\0';
    if (camera) {
        const std::size_t length = utf8Prefix(camera, sizeof cameraText - 1);
        std::memcpy(cameraText, camera, length);
        cameraText[length] = '\0';
    }
    // Turned whenever the file says so, camera text or not: a picture marked upright-by-turning
    // without make and model would otherwise stand on its side.
    if (angle != 0) picture->rotateQuarter(angle);
}

} // namespace vistrel
