// The first frame of a large WebP or HEIF picture from its library's reduced decode.
#include "CachedPicture.h"

#include "ByteSource.h"
#include "Orientation.h"
#if VISTREL_MODERN_FORMATS
#include "CodecModule.h"
#endif

namespace vistrel {

#if !VISTREL_MODERN_FORMATS
// A build without the modern formats' libraries has no reduced decode to ask: every picture is
// decoded as it always was.
std::optional<DecodeResult>
CachedPicture::loadReducedFirstFrame(const char*, FormatId, const std::optional<ScreenCopyPolicy>&,
                                     const std::function<const ScreenCopyPolicy&()>&,
                                     PictureMetadata&, bool&) {
    return std::nullopt;
}
#else

std::optional<DecodeResult> CachedPicture::loadReducedFirstFrame(
    const char* filePath, FormatId format, const std::optional<ScreenCopyPolicy>& guess,
    const std::function<const ScreenCopyPolicy&()>& policy, PictureMetadata& metadata, bool& done) {
    if (format != FormatId::Webp && format != FormatId::Heif) return std::nullopt;
    const CodecEntries* codecs = codecModule();
    if (!codecs) return Refusal::NoDecoder;
    std::vector<uint8_t> bytes;
    if (const DecodeResult read = readWholeFile(filePath, bytes); !read) return read;
    ReducedDecode reduced;
    // Sized for the guessed screen while the toolkit starts, if there is a guess.
    auto decodeFor = [&](const ScreenCopyPolicy& sizing) {
        reduced = {};
        metadata = {};
        // A HEIF thumbnail is smaller than the screen copy as a rule: worth showing while the
        // user waits for the picture, not for a neighbour decoded ahead (reducePng), which would
        // then be shown coarse and decoded again.
        if (sizing.screenCopyOnly && (format == FormatId::Webp || !sizing.reducePng)) {
            reduced.atLeast = [&sizing](Size stored, uint8_t orientation) -> Size {
                const Size copy = screenCopySize(orientedSize(stored, orientation), 24, sizing);
                if (copy.width <= 0) return {};
                return swapsSides(orientation) ? Size{copy.height, copy.width} : copy;
            };
        }
        return format == FormatId::Heif
                   ? codecs->decodeHeif(bytes.data(), bytes.size(), *picture, metadata, &reduced)
                   : codecs->decodeWebp(bytes.data(), bytes.size(), *picture, metadata, &reduced);
    };
    DecodeResult decoded = decodeFor(guess ? *guess : policy());
    const ScreenCopyPolicy& real = policy();
    if (decoded && reduced.standsFor.width > 0 && guess) {
        // Decoded again when the real screen wants a larger copy, or the window the whole picture.
        const Size shown = orientedSize(reduced.standsFor, metadata.orientation);
        if (!real.screenCopyOnly || real.reducePng ||
            screenCopySize(shown, 24, real) != screenCopySize(shown, 24, *guess))
            decoded = decodeFor(real);
    }
    // Decoded in full, or refused: the caller goes on as for any decode.
    if (!decoded || reduced.standsFor.width <= 0) return decoded;
    bytes = {};
    path = filePath;
    width = reduced.standsFor.width;
    height = reduced.standsFor.height;
    fullSize_ = {};
    turns_ = 0;
    droppedDepth_ = picture->bitsPerPixel();
    animation.reset();
    frameOnShow = 0;
    applyMetadata(metadata, real, orientedSize(reduced.standsFor, metadata.orientation));
    coarse_ = reduced.coarse;
    done = true;
    return kOk;
}

#endif

} // namespace vistrel
