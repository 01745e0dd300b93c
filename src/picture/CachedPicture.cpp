#include "CachedPicture.h"

#include "ByteSource.h"
#include "DebugLog.h"
#include "ExifScan.h"
#include "JpegDecoder.h"
#include "SystemDecoder.h"

#include <optional>

namespace vistrel {

DecodeResult CachedPicture::load(const char* filePath, const ScreenCopyPolicy& policy) {
    return loadAwaitingPolicy(filePath, {[&] { return policy; }, std::nullopt});
}

namespace {

DecodeResult notLoaded(const char* path, DecodeResult result) {
    debugLog("%s not loaded: %s (%s)", path, result.text(), result.word());
    return result;
}

// Why a file both the own decoder and the system decoder refused was refused: the system
// decoder's reason, unless it says less than the own decoder's (it did not know the bytes, or, as
// Qt's readers, cannot tell a damaged file from one cut short). An own decoder's "unsupported"
// only hands the file on.
DecodeResult bothRefused(DecodeResult own, DecodeResult system) {
    const bool saysLess =
        (system.refusal() == Refusal::UnknownFormat || system.refusal() == Refusal::Malformed) &&
        own.refusal() != Refusal::UnknownFormat && own.refusal() != Refusal::Unsupported;
    return saysLess ? own : system;
}

} // namespace

DecodeResult CachedPicture::loadAwaitingPolicy(const char* filePath, const PendingPolicy& pending) {
    const PictureFormat* format = formatOfPath(filePath);
    if (!format) return notLoaded(filePath, Refusal::UnknownFormat);
    const bool jpeg = format->id == FormatId::Jpeg;
    // Asked for once, when first needed: the decode of the command-line picture starts before the
    // toolkit knows the screen, and the platform's system decoder is there only once it does.
    std::optional<ScreenCopyPolicy> known;
    auto policy = [&]() -> const ScreenCopyPolicy& {
        if (!known) known = pending.wait();
        return *known;
    };
    if (!picture) picture = std::make_unique<Picture>();

    DecodeResult result = Refusal::UnknownFormat; // nothing tried yet
    if (jpeg) {
        // Through its library, in one read of the file for the header, the EXIF data and a decode
        // at a DCT reduction; without the library the system decoder alone reads JPEG.
        if (jpegLibrary()) {
            result = loadJpeg(filePath, policy, pending.guess);
            if (result) return result;
        }
    } else if (format->decode) {
        result = format->decode(filePath, *picture);
    }
    if (!result && format->systemFallback) {
        policy();
        const DecodeResult system = decodeWithSystem(filePath, *picture);
        result = system ? system : bothRefused(result, system);
    }
    if (!result) return notLoaded(filePath, result);

    path = filePath;
    fullSize_ = {};
    width = picture->width();
    height = picture->height();
    if (jpeg && picture->bitsPerPixel() == 24) applyExif(filePath);
    prepareScreenCopy(policy());
    return kOk;
}

DecodeResult CachedPicture::loadJpeg(const char* filePath,
                                     const std::function<const ScreenCopyPolicy&()>& policy,
                                     const std::optional<ScreenCopyPolicy>& guess) {
    // One read of the whole file: the header, the EXIF scan and the decode all work on it.
    FileSource file;
    if (const DecodeResult opened = file.open(filePath); !opened) return opened;
    const uint64_t fileSize = file.size();
    if (fileSize == 0) return Refusal::Truncated;
    if (fileSize > kMaxWholeFileBytes) return Refusal::TooLarge;
    LargeBuffer bytes(std::size_t(fileSize), AfterUse::Release);
    if (!bytes) return Refusal::OutOfMemory;
    const std::size_t got = file.readAt(0, bytes.data(), bytes.size());
    int fullWidth = 0, fullHeight = 0;
    if (const DecodeResult read = jpegSize(bytes.data(), got, fullWidth, fullHeight); !read)
        return read;
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
    if (const DecodeResult decoded =
            decodeJpeg(bytes.data(), got, *picture, kMaxPicturePixels, reduction);
        !decoded)
        return decoded;
    const ScreenCopyPolicy& screenPolicy = policy();
    if (const int needed = reductionFor(screenPolicy); needed < reduction) {
        // The screen turned out larger than the guess: decoded again with more pixels.
        reduction = needed;
        if (const DecodeResult decoded =
                decodeJpeg(bytes.data(), got, *picture, kMaxPicturePixels, reduction);
            !decoded)
            return decoded;
    }
    bytes.reset();

    path = filePath;
    width = fullWidth;
    height = fullHeight;
    fullSize_ = {};
    applyExif(camera ? cameraFound.c_str() : nullptr, angle);
    if (reduction == 1) {
        prepareScreenCopy(screenPolicy);
        return kOk;
    }
    // Only the screen copy of a reduced decode is kept; the full decode takes its place later.
    vistrel::prepareScreenCopy(*picture, fitted, screenPolicy, shown);
    picture->release(AfterUse::Release);
    markReduced(shown);
    return kOk;
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
