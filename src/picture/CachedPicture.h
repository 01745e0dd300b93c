// One decoded file: its picture, its screen-sized copy, where it came from and where it stands
// in the folder relative to the picture on show.
#pragma once

#include "Picture.h"
#include "Scaling.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vistrel {

// The text after the last "." that follows the last "/" of the path; null when the path has no
// "/" or nothing after it has a ".".
const char* extensionOf(const char* path);

class CachedPicture {
public:
    // The decoded picture (fixed storage), made by the first load and reused by later ones.
    std::unique_ptr<Picture> picture;
    // The screen-sized copy; null when none was needed.
    std::unique_ptr<Picture> fitted;
    // Full path of the decoded file; empty for a picture that came from the clipboard.
    std::string path;
    // Camera make and model from the EXIF data: at most 127 bytes, never a split UTF-8 sequence.
    char cameraText[128] = {};
    // Size as decoded, before any EXIF turn.
    int32_t width = 0;
    int32_t height = 0;
    // Place in the folder relative to the picture on show: 0 on show, -1 previous, +1 next.
    int32_t relativePosition = 0;

    // Decodes the file by its extension, falling back to the system picture decoder for the
    // formats it reads; turns JPEG pictures upright and prepares the screen copy. A failed load
    // leaves path and size as they were.
    bool load(const char* path, const ScreenCopyPolicy& policy);
    void reset();

    // Makes or refreshes the screen-sized copy when the picture is large compared with the screen.
    void prepareScreenCopy(const ScreenCopyPolicy& policy);
    // Turns the picture by +90 or -90 degrees; a screen copy, when there is one, is made anew.
    void rotate(int angle, const ScreenCopyPolicy& policy);

private:
    // Turns a 24-bit JPEG picture by its EXIF orientation and keeps the camera text.
    void applyExif(const char* path);
};

} // namespace vistrel
