#include "CachedPicture.h"

#include "BmpDecoder.h"
#include "ByteSource.h"
#include "ExifScan.h"
#include "JpegDecoder.h"
#include "PngDecoder.h"
#include "PsdDecoder.h"
#include "SystemDecoder.h"
#include "TgaDecoder.h"

#include <strings.h>

#include <cstring>
#include <iterator>
#include <optional>

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
    return loadAwaitingPolicy(filePath, {[&] { return policy; }, std::nullopt});
}

bool CachedPicture::loadAwaitingPolicy(const char* filePath, const PendingPolicy& pending) {
    const char* extension = extensionOf(filePath);
    const bool jpeg = extension && isJpegExtension(extension);
    // Asked for once, when first needed: the decode of the command-line picture starts before the
    // toolkit knows the screen, and the platform's system decoder is there only once it does.
    std::optional<ScreenCopyPolicy> known;
    auto policy = [&]() -> const ScreenCopyPolicy& {
        if (!known) known = pending.wait();
        return *known;
    };
    if (!picture) picture = std::make_unique<Picture>();

    bool decoded = false;
    if (jpeg && jpegLibrary()) {
        if (loadJpeg(filePath, policy, pending.guess)) return true;
    } else if (extension) {
        for (const DecoderRow& row : kOwnDecoders) {
            if (strcasecmp(extension, row.extension) == 0) {
                decoded = row.decode(filePath, *picture);
                break;
            }
        }
    }
    if (!decoded && extension &&
        isOneOf(extension, std::begin(kSystemFallback), std::end(kSystemFallback))) {
        policy();
        decoded = decodeWithSystem(filePath, *picture);
    }
    if (!decoded) return false;

    path = filePath;
    fullSize_ = {};
    width = picture->width();
    height = picture->height();
    if (jpeg && picture->bitsPerPixel() == 24) applyExif(filePath);
    prepareScreenCopy(policy());
    return true;
}

bool CachedPicture::loadJpeg(const char* filePath,
                             const std::function<const ScreenCopyPolicy&()>& policy,
                             const std::optional<ScreenCopyPolicy>& guess) {
    // One read of the whole file: the header, the EXIF scan and the decode all work on it.
    FileSource file;
    if (!file.open(filePath)) return false;
    const uint64_t fileSize = file.size();
    if (fileSize == 0 || fileSize > kMaxWholeFileBytes) return false;
    LargeBuffer bytes(std::size_t(fileSize), AfterUse::Release);
    if (!bytes) return false;
    const std::size_t got = file.readAt(0, bytes.data(), bytes.size());
    int fullWidth = 0, fullHeight = 0;
    if (!jpegSize(bytes.data(), got, fullWidth, fullHeight)) return false;
    int angle = 0;
    const char* camera = scanExifWindow(bytes.data(), got, angle);
    const std::string cameraFound = camera ? camera : "";

    // The picture as shown, after the EXIF turn, and the reduction its screen copy allows.
    const bool turned = angle != 0;
    const Size shown = turned ? Size{fullHeight, fullWidth} : Size{fullWidth, fullHeight};
    auto reductionFor = [&](const ScreenCopyPolicy& p) {
        if (!p.reduceLargeJpeg) return 1;
        const Size copy = screenCopySize(shown, 24, p);
        if (copy.width <= 0) return 1;
        return jpegReduction(fullWidth, fullHeight, turned ? Size{copy.height, copy.width} : copy);
    };
    int reduction = reductionFor(guess ? *guess : policy());
    if (!decodeJpeg(bytes.data(), got, *picture, kMaxPicturePixels, reduction)) return false;
    const ScreenCopyPolicy& screenPolicy = policy();
    if (const int needed = reductionFor(screenPolicy); needed < reduction) {
        // The screen turned out larger than the guess: decoded again with more pixels.
        reduction = needed;
        if (!decodeJpeg(bytes.data(), got, *picture, kMaxPicturePixels, reduction)) return false;
    }
    bytes.reset();

    path = filePath;
    width = fullWidth;
    height = fullHeight;
    fullSize_ = {};
    applyExif(camera ? cameraFound.c_str() : nullptr, angle);
    if (reduction == 1) {
        prepareScreenCopy(screenPolicy);
        return true;
    }
    // Only the screen copy of a reduced decode is kept; the full decode takes its place later.
    vistrel::prepareScreenCopy(*picture, fitted, screenPolicy, shown);
    picture->release(AfterUse::Release);
    markReduced(shown);
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

Size CachedPicture::size() const {
    if (reduced()) return fullSize_;
    if (!picture) return {};
    return {picture->width(), picture->height()};
}

bool CachedPicture::showable() const {
    if (reduced()) return fitted && !fitted->empty();
    return picture && !picture->empty();
}

uint64_t CachedPicture::heldBytes() const {
    uint64_t held = 0;
    for (const Picture* p : {picture.get(), fitted.get()})
        if (p && !p->empty()) held += uint64_t(p->capacity()) + kPixelSpareBytes;
    return held;
}

void CachedPicture::markReduced(Size fullSize) {
    fullSize_ = fullSize;
}

void CachedPicture::takeFullDecode(CachedPicture& full) {
    std::swap(picture, full.picture);
    std::swap(fitted, full.fitted);
    fullSize_ = {};
    width = full.width;
    height = full.height;
}

void CachedPicture::reset() {
    fullSize_ = {};
    picture.reset();
    fitted.reset();
    path.clear();
    cameraText[0] = '\0';
    relativePosition = 0;
}

} // namespace vistrel
