#include "CachedPicture.h"

#include "BmpDecoder.h"
#include "JpegDecoder.h"
#include "PngDecoder.h"
#include "PsdDecoder.h"
#include "SystemDecoder.h"
#include "TgaDecoder.h"

#include <strings.h>

#include <cstring>
#include <iterator>

namespace vistrel {

namespace {

using DecodeFunction = bool (*)(const char* path, Picture& picture);

// The own decoders, tried by extension in this order (JPEG is chosen before the table).
struct DecoderRow {
    const char* extension;
    DecodeFunction decode;
};
const DecoderRow kOwnDecoders[] = {
    {"bmp", decodeBmp},
    {"tga", decodeTga},
    {"png", decodePng},
    {"psd", decodePsd},
};

// Extensions the system picture decoder may be given when the own decoder fails or is missing.
// PNG and PSD are not among them: a file those decoders refuse is not shown.
const char* const kSystemFallback[] = {"jpg", "jpe", "jpeg", "bmp", "gif",
                                       "ico", "cur", "wmf",  "tga"};

bool isOneOf(const char* extension, const char* const* first, const char* const* last) {
    for (; first != last; ++first)
        if (strcasecmp(extension, *first) == 0) return true;
    return false;
}

bool isJpegExtension(const char* extension) {
    static const char* const jpeg[] = {"jpg", "jpe", "jpeg"};
    return isOneOf(extension, std::begin(jpeg), std::end(jpeg));
}

} // namespace

const char* extensionOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (!slash) return nullptr;
    const char* dot = std::strrchr(slash, '.');
    return dot ? dot + 1 : nullptr;
}

bool CachedPicture::load(const char* filePath, const ScreenCopyPolicy& policy) {
    const char* extension = extensionOf(filePath);
    const bool jpeg = extension && isJpegExtension(extension);
    if (!picture) picture = std::make_unique<Picture>(PictureStorage::Fixed);

    bool decoded = false;
    if (jpeg && jpegLibrary()) {
        decoded = decodeJpeg(filePath, *picture);
    } else if (extension) {
        for (const DecoderRow& row : kOwnDecoders) {
            if (strcasecmp(extension, row.extension) == 0) {
                decoded = row.decode(filePath, *picture);
                break;
            }
        }
    }
    if (!decoded && extension &&
        isOneOf(extension, std::begin(kSystemFallback), std::end(kSystemFallback)))
        decoded = decodeWithSystem(filePath, *picture);
    if (!decoded) return false;

    path = filePath;
    width = picture->width();
    height = picture->height();
    if (jpeg && picture->bitsPerPixel() == 24) applyExif(filePath);
    prepareScreenCopy(policy);
    return true;
}

void CachedPicture::prepareScreenCopy(const ScreenCopyPolicy& policy) {
    if (picture) vistrel::prepareScreenCopy(*picture, fitted, policy);
}

void CachedPicture::rotate(int angle, const ScreenCopyPolicy& policy) {
    if (!picture) return;
    picture->rotateQuarter(angle);
    if (fitted) {
        fitted.reset();
        prepareScreenCopy(policy);
    }
}

void CachedPicture::reset() {
    picture.reset();
    fitted.reset();
    path.clear();
    cameraText[0] = '\0';
    relativePosition = 0;
}

} // namespace vistrel
