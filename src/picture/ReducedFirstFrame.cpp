// The first frame of a large WebP or HEIF picture from its library's reduced decode.
#include "CachedPicture.h"

#include "ByteSource.h"
#include "HeifDecoder.h"
#include "Orientation.h"
#include "WebpDecoder.h"

namespace vistrel {

std::optional<DecodeResult> CachedPicture::loadReducedFirstFrame(const char* filePath,
                                                                 FormatId format,
                                                                 const ScreenCopyPolicy& policy,
                                                                 PictureMetadata& metadata,
                                                                 bool& done) {
    // A HEIF thumbnail is smaller than the screen copy as a rule: worth showing while the user
    // waits for the picture, not for a neighbour decoded ahead (reducePng), which would then
    // be shown coarse and decoded again.
    const bool heif = format == FormatId::Heif && !policy.reducePng;
    if (!policy.screenCopyOnly || (format != FormatId::Webp && !heif)) return std::nullopt;
    std::vector<uint8_t> bytes;
    if (const DecodeResult read = readWholeFile(filePath, bytes); !read) return read;
    ReducedDecode reduced;
    reduced.atLeast = [&](Size stored, uint8_t orientation) -> Size {
        const Size copy = screenCopySize(orientedSize(stored, orientation), 24, policy);
        if (copy.width <= 0) return {};
        return swapsSides(orientation) ? Size{copy.height, copy.width} : copy;
    };
    const DecodeResult decoded =
        heif ? decodeHeif(bytes.data(), bytes.size(), *picture, metadata, &reduced)
             : decodeWebp(bytes.data(), bytes.size(), *picture, metadata, &reduced);
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
    applyMetadata(metadata, policy, orientedSize(reduced.standsFor, metadata.orientation));
    coarse_ = reduced.coarse;
    done = true;
    return kOk;
}

} // namespace vistrel
