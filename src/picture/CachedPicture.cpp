#include "CachedPicture.h"

#include "ApngFrames.h"
#include "ByteSource.h"
#include "DebugLog.h"
#include "JpegDecoder.h"
#include "JpegMetadata.h"
#include "Orientation.h"
#include "PngDecoder.h"
#include "PngMetadata.h"
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
    } else if (format->id == FormatId::Png &&
               (pending.guess ? *pending.guess : policy()).reducePng) {
        if (std::optional<DecodeResult> reduced = loadReducedPng(filePath, policy()))
            return *reduced;
        result = format->decode(filePath, *picture, metadata);
    } else if (bool done = false; std::optional<DecodeResult> first =
                                      loadReducedFirstFrame(filePath, format->id, pending.guess,
                                                            policy, metadata, done)) {
        if (done) return kOk;
        result = *first;
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
    turns_ = 0;
    applyMetadata(metadata, policy());
    animation = std::move(metadata.animation);
    frameOnShow = 0;
    // The size as shown: after the orientation, which may have turned the picture.
    width = picture->width();
    height = picture->height();
    if (policy().screenCopyOnly) dropFullPicture();
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

    // The picture as shown, after the EXIF orientation, and the DCT scale (in eighths) its screen
    // copy allows.
    const bool turned = swapsSides(metadata.orientation);
    const Size shown = orientedSize({fullWidth, fullHeight}, metadata.orientation);
    auto scaleFor = [&](const ScreenCopyPolicy& p) {
        if (!p.screenCopyOnly) return 8;
        const Size copy = screenCopySize(shown, 24, p);
        if (copy.width <= 0) return 8;
        return jpegScale(fullWidth, fullHeight, turned ? Size{copy.height, copy.width} : copy);
    };
    int eighths = scaleFor(guess ? *guess : policy());
    if (const DecodeResult decoded =
            decodeJpeg(bytes.data(), got, *picture, kMaxPicturePixels, eighths, keepInks);
        !decoded)
        return decoded;
    const ScreenCopyPolicy& screenPolicy = policy();
    if (const int needed = scaleFor(screenPolicy); needed > eighths) {
        // The screen turned out larger than the guess: decoded again with more pixels.
        eighths = needed;
        if (const DecodeResult decoded =
                decodeJpeg(bytes.data(), got, *picture, kMaxPicturePixels, eighths, keepInks);
            !decoded)
            return decoded;
    }
    bytes.reset();
    metadata.inks = picture->bitsPerPixel() == 32;
    animation.reset();

    path = filePath;
    width = fullWidth;
    height = fullHeight;
    fullSize_ = {};
    turns_ = 0;
    // The depth of the decode, which a reduced record's caption shows.
    if (eighths != 8) droppedDepth_ = picture->bitsPerPixel();
    // Only the screen copy of a reduced decode is kept; a full decode takes its place when needed.
    applyMetadata(metadata, screenPolicy, eighths == 8 ? Size{} : shown);
    if (eighths == 8 && screenPolicy.screenCopyOnly) dropFullPicture();
    return kOk;
}

std::optional<DecodeResult> CachedPicture::loadReducedPng(const char* filePath,
                                                          const ScreenCopyPolicy& policy) {
    if (!policy.screenCopyOnly) return std::nullopt;
    // Streamed from the file: neither its bytes nor the full picture are held.
    FileSource file;
    if (!file.open(filePath)) return std::nullopt;
    PictureHeader header;
    // Only pictures held at 24 or 32 bits: a palette or grey one is a byte a pixel or less.
    if (!readPngHeader(file, header) || header.bitsPerPixel < 24) return std::nullopt;
    PictureMetadata metadata;
    std::vector<uint8_t> chunks;
    const uint64_t imageData = readPngChunksBesideImage(file, chunks);
    readPngMetadata(chunks.data(), chunks.size(), metadata);
    // An animation is composed whole, frame after frame.
    if (pngIsAnimated(chunks.data(), chunks.size())) return std::nullopt;
    chunks = {};
    const Size stored{header.width, header.height};
    const Size shown = orientedSize(stored, metadata.orientation);
    const Size copy = screenCopySize(shown, 24, policy);
    if (copy.width <= 0) return std::nullopt;
    const Size storedCopy = swapsSides(metadata.orientation) ? Size{copy.height, copy.width} : copy;
    const int reduction = pngReduction(stored, storedCopy);
    // What the reduced read does not take, or refuses, the full decode reads and judges. The rows
    // go straight into the screen copy: neither the full nor the block-reduced picture is held.
    if (reduction < 2 || !decodePngReduced(file, imageData, reduction, *picture, storedCopy))
        return std::nullopt;
    path = filePath;
    width = stored.width;
    height = stored.height;
    fullSize_ = {};
    turns_ = 0;
    droppedDepth_ = header.bitsPerPixel;
    applyMetadata(metadata, policy, shown, true);
    return kOk;
}

void CachedPicture::prepareScreenCopy(const ScreenCopyPolicy& policy) {
    if (picture) vistrel::prepareScreenCopy(*picture, fitted, policy);
}

void CachedPicture::rotate(int angle, const ScreenCopyPolicy& policy) {
    if (!picture || picture->empty() || (angle != 90 && angle != -90)) return;
    picture->rotateQuarter(angle);
    turns_ = (turns_ + (angle > 0 ? 1 : 3)) % 4;
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

void CachedPicture::markReduced(Size fullSize, bool coarse) {
    fullSize_ = fullSize;
    coarse_ = coarse;
}

void CachedPicture::takeFullDecode(CachedPicture& full) {
    std::swap(picture, full.picture);
    std::swap(fitted, full.fitted);
    std::swap(convertedTo, full.convertedTo);
    fullSize_ = {};
    turns_ = 0;
    width = full.width;
    height = full.height;
}

std::unique_ptr<Picture> CachedPicture::dropFullPicture() {
    if (reduced() || !fitted || fitted->empty() || !picture || picture->empty()) return nullptr;
    if (path.empty() || turns_ != 0) return nullptr;
    markReduced(size());
    droppedDepth_ = picture->bitsPerPixel();
    return std::move(picture);
}

int CachedPicture::bitsPerPixel() const {
    if (picture && !picture->empty()) return picture->bitsPerPixel();
    return reduced() ? droppedDepth_ : 0;
}

void CachedPicture::reset() {
    fullSize_ = {};
    turns_ = 0;
    picture.reset();
    fitted.reset();
    animation.reset();
    frameOnShow = 0;
    path.clear();
    cameraText[0] = '\0';
    colorSpace.clear();
    convertedTo.reset();
    relativePosition = 0;
}

} // namespace vistrel
