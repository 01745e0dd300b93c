#include "CachedPicture.h"

#include "ExifScan.h"

#include <cstring>

namespace vistrel {

namespace {

// Copies at most `capacity` - 1 bytes and a terminating zero; a cut never falls inside a UTF-8
// sequence, so the caption never shows half a character.
void copyWholeCharacters(char* target, std::size_t capacity, const char* text) {
    std::size_t length = std::strlen(text);
    if (length >= capacity) {
        length = capacity - 1;
        // Step back over continuation bytes (10xxxxxx) to the lead byte of the cut character,
        // which then goes too.
        while (length > 0 && (uint8_t(text[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(target, text, length);
    target[length] = '\0';
}

} // namespace

void CachedPicture::applyExif(const char* filePath) {
    // A record loaded anew must not keep the camera of the file it held before.
    cameraText[0] = '\0';
    int angle = 0;
    if (const char* text = scanExif(filePath, angle))
        copyWholeCharacters(cameraText, sizeof cameraText, text);
    // Turned whenever the file says so, camera text or not: a picture marked upright-by-turning
    // without make and model would otherwise stand on its side.
    if (angle != 0) picture->rotateQuarter(angle);
}

} // namespace vistrel
