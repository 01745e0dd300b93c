#include "CachedPicture.h"

#include "ByteSource.h"
#include "DebugLog.h"
#include "JpegDecoder.h"
#include "JpegMetadata.h"
#include "Orientation.h"
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
    PictureMetadata metadata;
    if (jpeg) {
        // Through its library, in one read of the file for the header, the EXIF data and a decode
        // at a DCT reduction; without the library the system decoder alone reads JPEG.
        if (jpegLibrary()) {
            result = loadJpeg(filePath, policy, pending.guess);
            if (result) return result;
        }
    } else if (format->decode) {
        result = format->decode(filePath, *picture, metadata);
    }
    if (!result && format->systemFallback) {
        policy();
        const DecodeResult system = decodeWithSystem(filePath, *picture);
        result = system ? system : bothRefused(result, system);
        metadata = {};
        // A JPEG keeps its orientation and profile when the system decoder reads it.
        if (result && jpeg) {
            std::vector<uint8_t> bytes;
            if (readWholeFile(filePath, bytes))
                readJpegMetadata(bytes.data(), bytes.size(), metadata);
            metadata.inks = false;
        }
    }
    if (!result) return notLoaded(filePath, result);

    path = filePath;
    fullSize_ = {};
    applyMetadata(metadata, policy());
    // The size as shown: after the orientation, which may have turned the picture.
    width = picture->width();
    height = picture->height();
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
    PictureMetadata metadata;
    // A CMYK file with its profile keeps its inks for it.
    const bool keepInks =
        readJpegMetadata(bytes.data(), got, metadata) == 4 && hasInkProfile(metadata);

    // The picture as shown, after the EXIF orientation, and the reduction its screen copy allows.
    const bool turned = swapsSides(metadata.orientation);
    const Size shown = orientedSize({fullWidth, fullHeight}, metadata.orientation);
    auto reductionFor = [&](const ScreenCopyPolicy& p) {
        if (!p.reduceLargeJpeg) return 1;
        const Size copy = screenCopySize(shown, 24, p);
        if (copy.width <= 0) return 1;
        return jpegReduction(fullWidth, fullHeight, turned ? Size{copy.height, copy.width} : copy);
    };
    int reduction = reductionFor(guess ? *guess : policy());
    if (const DecodeResult decoded =
            decodeJpeg(bytes.data(), got, *picture, kMaxPicturePixels, reduction, keepInks);
        !decoded)
        return decoded;
    const ScreenCopyPolicy& screenPolicy = policy();
    if (const int needed = reductionFor(screenPolicy); needed < reduction) {
        // The screen turned out larger than the guess: decoded again with more pixels.
        reduction = needed;
        if (const DecodeResult decoded =
                decodeJpeg(bytes.data(), got, *picture, kMaxPicturePixels, reduction, keepInks);
            !decoded)
            return decoded;
    }
    bytes.reset();
    metadata.inks = picture->bitsPerPixel() == 32;

    path = filePath;
    width = fullWidth;
    height = fullHeight;
    fullSize_ = {};
    // Only the screen copy of a reduced decode is kept; the full decode takes its place later.
    applyMetadata(metadata, screenPolicy, reduction == 1 ? Size{} : shown);
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
    std::swap(convertedTo, full.convertedTo);
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
    colorSpace.clear();
    convertedTo.reset();
    relativePosition = 0;
}

} // namespace vistrel
