#include "WebpDecoder.h"

#include "DecodeLimits.h"
#include "ExifReader.h"
#include "WebpFrames.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace vistrel {

namespace {

// The RIFF header (12 bytes) and the first chunk's header (8), then the most any first chunk
// needs for its size: VP8X 10 bytes, VP8L 5, VP8 a 10-byte frame tag and start code.
constexpr std::size_t kHeaderBytes = 64;

class Demuxer {
public:
    // A file cut short is parsed as far as it goes.
    Demuxer(const uint8_t* data, std::size_t size) {
        const WebPData bytes{data, size};
        demux_ = WebPDemuxPartial(&bytes, &state_);
    }
    ~Demuxer() { WebPDemuxDelete(demux_); }
    Demuxer(const Demuxer&) = delete;
    Demuxer& operator=(const Demuxer&) = delete;
    WebPDemuxer* get() const { return demux_; }
    bool complete() const { return state_ == WEBP_DEMUX_DONE; }

private:
    WebPDemuxState state_ = WEBP_DEMUX_PARSE_ERROR;
    WebPDemuxer* demux_ = nullptr;
};

// A chunk's payload, or nothing when the file has no such chunk.
std::vector<uint8_t> chunk(WebPDemuxer* demux, const char* fourcc) {
    WebPChunkIterator it;
    if (!WebPDemuxGetChunk(demux, fourcc, 1, &it)) return {};
    std::vector<uint8_t> payload(it.chunk.bytes, it.chunk.bytes + it.chunk.size);
    WebPDemuxReleaseChunkIterator(&it);
    return payload;
}

DecodeResult refusalOf(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OK:
        return kOk;
    case VP8_STATUS_OUT_OF_MEMORY:
        return Refusal::OutOfMemory;
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return Refusal::Unsupported;
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return Refusal::Truncated;
    default:
        return Refusal::Malformed;
    }
}

// Why a frame the library would not decode was refused.
DecodeResult whyNotDecoded(const WebPIterator& frame) {
    WebPBitstreamFeatures features;
    const DecodeResult why =
        refusalOf(WebPGetFeatures(frame.fragment.bytes, frame.fragment.size, &features));
    return why ? DecodeResult(Refusal::Malformed) : why;
}

// The frame decoded straight to the size of a picture of its aspect that covers `atLeast`:
// libwebp scales the rows as they come (for a lossy file its chroma and luma before they become
// colours), so neither the full picture nor its colours are made.
DecodeResult decodeScaled(const WebPIterator& frame, Size atLeast, bool alpha, Picture& picture,
                          ReducedDecode& reduced) {
    const double scale =
        std::max(double(atLeast.width) / frame.width, double(atLeast.height) / frame.height);
    const int width = std::clamp(int(std::ceil(frame.width * scale)), 1, frame.width);
    const int height = std::clamp(int(std::ceil(frame.height * scale)), 1, frame.height);
    if (const DecodeResult made = createPicture(picture, width, height, alpha ? 32 : 24); !made)
        return made;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return Refusal::Unsupported;
    config.options.use_scaling = 1;
    config.options.scaled_width = width;
    config.options.scaled_height = height;
    config.options.use_threads = 1;
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.pixels();
    config.output.u.RGBA.stride = int(picture.rowSize());
    config.output.u.RGBA.size =
        picture.rowSize() * std::size_t(height - 1) + std::size_t(width) * (alpha ? 4u : 3u);
    if (WebPDecode(frame.fragment.bytes, frame.fragment.size, &config) != VP8_STATUS_OK) {
        picture.release();
        return whyNotDecoded(frame);
    }
    reduced.standsFor = {frame.width, frame.height};
    return kOk;
}

// The first frame as a still, decoded straight into the picture (a still asked for a reduced
// decode scaled as it decodes); an animation's frames after it are handed over in `metadata` over
// `owner` (the file's bytes, copied from `data` when null).
DecodeResult decode(const uint8_t* data, std::size_t size,
                    std::shared_ptr<const std::vector<uint8_t>> owner, Picture& picture,
                    PictureMetadata& metadata, ReducedDecode* reduced);

} // namespace

DecodeResult readWebpHeader(ByteSource& source, PictureHeader& header) {
    uint8_t head[kHeaderBytes];
    const std::size_t got = source.readAt(0, head, sizeof head);
    if (got >= 12 && !isWebp(head, got)) return Refusal::Malformed;
    WebPBitstreamFeatures features;
    if (const DecodeResult read = refusalOf(WebPGetFeatures(head, got, &features)); !read)
        return read;
    if (!header.setSize(uint64_t(std::max(features.width, 0)),
                        uint64_t(std::max(features.height, 0))))
        return Refusal::Malformed;
    header.bitsPerPixel = features.has_alpha ? 32 : 24;
    header.frames = features.has_animation ? 0 : 1;
    return kOk;
}

DecodeResult decodeWebp(const uint8_t* data, std::size_t size, Picture& picture,
                        PictureMetadata& metadata, ReducedDecode* reduced) {
    return decode(data, size, nullptr, picture, metadata, reduced);
}

DecodeResult decodeWebp(const char* path, Picture& picture, PictureMetadata& metadata) {
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    if (const DecodeResult read = readWholeFile(path, *bytes); !read) return read;
    return decode(bytes->data(), bytes->size(), bytes, picture, metadata, nullptr);
}

namespace {

DecodeResult decode(const uint8_t* data, std::size_t size,
                    std::shared_ptr<const std::vector<uint8_t>> owner, Picture& picture,
                    PictureMetadata& metadata, ReducedDecode* reduced) {
    if (size == 0) return Refusal::Truncated;
    if (size >= 12 && !isWebp(data, size)) return Refusal::Malformed;
    WebPBitstreamFeatures features;
    if (const DecodeResult read = refusalOf(WebPGetFeatures(data, size, &features)); !read)
        return read;
    const Demuxer demux(data, size);
    if (!demux.get()) return Refusal::Malformed;
    const uint64_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    const uint64_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    const uint64_t pixels = width * height;
    if (width == 0 || height == 0) return Refusal::Malformed;
    if (pixels > kMaxPicturePixels) return Refusal::TooLarge;
    // The whole file counts; an animation, whose frames may be either kind, gets the lossless
    // bound, the larger.
    const uint64_t channels = features.has_alpha ? 4 : 3;
    const uint64_t producible =
        features.format == 1 ? webpLossyProducible(size) : webpLosslessProducible(size);
    if (!fitsItsData(pixels, pixels * channels, producible)) return Refusal::SizeRule;

    WebPIterator frame;
    if (!WebPDemuxGetFrame(demux.get(), 1, &frame))
        return demux.complete() ? Refusal::Malformed : Refusal::Truncated;
    struct Release {
        WebPIterator& it;
        ~Release() { WebPDemuxReleaseIterator(&it); }
    } release{frame};
    if (!frame.complete) return Refusal::Truncated;
    // An animation's first frame may cover part of the canvas only; it must lie within it.
    if (frame.x_offset < 0 || frame.y_offset < 0 || frame.width <= 0 || frame.height <= 0 ||
        uint64_t(frame.x_offset) + uint64_t(frame.width) > width ||
        uint64_t(frame.y_offset) + uint64_t(frame.height) > height)
        return Refusal::Malformed;

    metadata.iccProfile = chunk(demux.get(), "ICCP");
    if (const std::vector<uint8_t> exif = chunk(demux.get(), "EXIF"); !exif.empty()) {
        ExifFacts facts;
        readExif(exif.data(), exif.size(), facts);
        metadata.orientation = facts.orientation;
        metadata.cameraText = facts.cameraText;
    }

    // A still (one frame covering the canvas) may be scaled as it decodes.
    const Size canvas{int(width), int(height)};
    const bool still =
        frame.num_frames == 1 && frame.width == canvas.width && frame.height == canvas.height;
    if (reduced && reduced->atLeast && still) {
        const Size target = reduced->atLeast(canvas, metadata.orientation);
        if (target.width > 0 && target.height > 0 && target.width < canvas.width &&
            target.height < canvas.height)
            return decodeScaled(frame, target, features.has_alpha || frame.has_alpha, picture,
                                *reduced);
    }

    // An animation is read through the library's animation decoder after its first frame, which
    // is decoded here as fast as a still; every frame gets the depth the whole sequence needs.
    WebpSequence sequence;
    if (features.has_animation && demux.complete())
        readWebpSequence(data, size, demux.get(), features.has_alpha, sequence);
    const bool animated = sequence.delays.size() >= 2;
    const bool alpha = animated ? sequence.alpha : features.has_alpha || frame.has_alpha;
    if (const DecodeResult made = createPicture(picture, int(width), int(height), alpha ? 32 : 24);
        !made)
        return made;
    const int bytesPerPixel = alpha ? 4 : 3;
    const std::size_t row = picture.rowSize();
    uint8_t* at = picture.pixels() + std::size_t(frame.y_offset) * row +
                  std::size_t(frame.x_offset) * std::size_t(bytesPerPixel);
    // The rest of the canvas stays as made: zero, transparent where there is alpha.
    const std::size_t room =
        row * std::size_t(frame.height - 1) + std::size_t(frame.width) * std::size_t(bytesPerPixel);
    const uint8_t* decoded =
        alpha ? WebPDecodeBGRAInto(frame.fragment.bytes, frame.fragment.size, at, room, int(row))
              : WebPDecodeBGRInto(frame.fragment.bytes, frame.fragment.size, at, room, int(row));
    if (!decoded) {
        picture.release();
        return whyNotDecoded(frame);
    }

    if (animated) {
        if (!owner) owner = std::make_shared<const std::vector<uint8_t>>(data, data + size);
        metadata.animation = makeWebpFrames(std::move(owner), sequence);
    }
    return kOk;
}

} // namespace

} // namespace vistrel
