// The window text: the file name with the picture's size, and the camera that took it.
#include "CachedPicture.h"
#include "ViewerWindow.h"

#include "Utf8.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

namespace vistrel {

std::string FormatCaption(CachedPicture& record) {
    constexpr std::size_t limit = kCaptionLimit;
    char size[64];
    if (record.path.empty()) {
        const Size shown = record.size();
        std::snprintf(size, sizeof size, "Snapshot [%dx%d]", shown.width, shown.height);
        return size;
    }
    const std::size_t slash = record.path.rfind('/');
    std::string name = record.path.substr(slash == std::string::npos ? 0 : slash + 1);
    const char* extension = extensionOf(record.path.c_str());
    const bool bmp = extension && strcasecmp(extension, "bmp") == 0;
    if (bmp)
        std::snprintf(size, sizeof size, " [%dx%dx%d]", record.width, record.height,
                      record.bitsPerPixel());
    else if (record.animation)
        std::snprintf(size, sizeof size, " [%dx%d, %d frames]", record.width, record.height,
                      record.animation->frameCount());
    else
        std::snprintf(size, sizeof size, " [%dx%d]", record.width, record.height);

    // When everything does not fit, the size stays whole: the camera text goes first, then the
    // end of the name gives way to an ellipsis.
    const std::size_t sizeLength = std::strlen(size);
    if (name.size() + sizeLength > limit) {
        static const char ellipsis[] = "\xE2\x80\xA6"; // U+2026
        name.resize(utf8Prefix(name, limit - sizeLength - (sizeof ellipsis - 1)));
        name += ellipsis;
    }
    std::string caption = name + size;
    if (!bmp && std::strlen(record.cameraText) >= 2) {
        const std::string camera = std::string(" , ") + record.cameraText;
        const std::size_t room = limit - caption.size();
        if (room > 3) caption += camera.substr(0, utf8Prefix(camera, room));
    }
    return caption;
}

} // namespace vistrel
