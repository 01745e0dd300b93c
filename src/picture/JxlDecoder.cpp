#include "JxlDecoder.h"

#include "DecodeLimits.h"

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vistrel {

namespace {

struct DecoderDeleter {
    void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};
struct RunnerDeleter {
    void operator()(void* runner) const { JxlThreadParallelRunnerDestroy(runner); }
};
using Decoder = std::unique_ptr<JxlDecoder, DecoderDeleter>;

// The header reader feeds the file in growing pieces until the basic information is read: it
// sits at the codestream's start, after whatever boxes (EXIF, XMP) a container puts first.
constexpr std::size_t kFirstHeaderRead = 4096;
constexpr std::size_t kMostHeaderRead = std::size_t(16) << 20;

bool isSrgb(const JxlColorEncoding& encoding) {
    return (encoding.color_space == JXL_COLOR_SPACE_RGB ||
            encoding.color_space == JXL_COLOR_SPACE_GRAY) &&
           encoding.white_point == JXL_WHITE_POINT_D65 &&
           (encoding.color_space == JXL_COLOR_SPACE_GRAY ||
            encoding.primaries == JXL_PRIMARIES_SRGB) &&
           encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// A colour encoding with a high dynamic range curve (PQ or HLG) as a description the colour path
// tone-maps (HdrTransfer.h); nothing for any other. lcms2 would take the ICC profile libjxl makes
// of such an encoding as it stands, its brightest light as the display's white.
std::optional<ColorDescription> highDynamicRange(const JxlColorEncoding& encoding) {
    ColorDescription described;
    if (encoding.color_space != JXL_COLOR_SPACE_RGB) return std::nullopt;
    if (encoding.transfer_function == JXL_TRANSFER_FUNCTION_PQ)
        described.transfer = ColorDescription::Transfer::Pq;
    else if (encoding.transfer_function == JXL_TRANSFER_FUNCTION_HLG)
        described.transfer = ColorDescription::Transfer::Hlg;
    else
        return std::nullopt;
    // The named primaries and white points by their chromaticities; the others as stated.
    static constexpr double kBt2100[6] = {0.708, 0.292, 0.170, 0.797, 0.131, 0.046};
    static constexpr double kP3[6] = {0.680, 0.320, 0.265, 0.690, 0.150, 0.060};
    const double custom[6] = {encoding.primaries_red_xy[0],   encoding.primaries_red_xy[1],
                              encoding.primaries_green_xy[0], encoding.primaries_green_xy[1],
                              encoding.primaries_blue_xy[0],  encoding.primaries_blue_xy[1]};
    const double* primaries = custom;
    if (encoding.primaries == JXL_PRIMARIES_SRGB) primaries = nullptr; // the description's own
    if (encoding.primaries == JXL_PRIMARIES_2100) primaries = kBt2100;
    if (encoding.primaries == JXL_PRIMARIES_P3) primaries = kP3;
    if (primaries) {
        std::copy(primaries, primaries + 2, described.red);
        std::copy(primaries + 2, primaries + 4, described.green);
        std::copy(primaries + 4, primaries + 6, described.blue);
    }
    switch (encoding.white_point) {
    case JXL_WHITE_POINT_D65:
        break;
    case JXL_WHITE_POINT_DCI:
        described.white[0] = 0.314;
        described.white[1] = 0.351;
        break;
    default:
        described.white[0] = encoding.white_point_xy[0];
        described.white[1] = encoding.white_point_xy[1];
        break;
    }
    return described;
}

// The colour space the decoder hands the samples in.
void readColor(const JxlDecoder* decoder, PictureMetadata& metadata) {
    JxlColorEncoding encoding;
    if (JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                           &encoding) == JXL_DEC_SUCCESS) {
        if (isSrgb(encoding)) {
            metadata.declaredSrgb = true;
            return;
        }
        if ((metadata.described = highDynamicRange(encoding))) return;
    }
    std::size_t size = 0;
    if (JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0)
        return;
    metadata.iccProfile.resize(size);
    if (JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       metadata.iccProfile.data(), size) != JXL_DEC_SUCCESS)
        metadata.iccProfile.clear();
}

// Why the decoder stopped: the input ran out, or it broke a rule.
DecodeResult refusalOf(JxlDecoderStatus status) {
    return status == JXL_DEC_NEED_MORE_INPUT ? Refusal::Truncated : Refusal::Malformed;
}

DecodeResult checkedSize(const JxlBasicInfo& info, PictureHeader& header) {
    if (!header.setSize(info.xsize, info.ysize)) return Refusal::Malformed;
    if (header.pixels() > kMaxPicturePixels) return Refusal::TooLarge;
    header.bitsPerPixel = info.alpha_bits > 0 ? 32 : 24;
    header.frames = info.have_animation ? 0 : 1;
    return kOk;
}

// The basic information from the first `size` bytes: Truncated while they are too few.
DecodeResult readBasicInfo(const uint8_t* data, std::size_t size, JxlBasicInfo& info) {
    const Decoder decoder(JxlDecoderCreate(nullptr));
    if (!decoder) return Refusal::OutOfMemory;
    if (JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(decoder.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), data, size) != JXL_DEC_SUCCESS)
        return Refusal::Malformed;
    const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
    if (status != JXL_DEC_BASIC_INFO) return refusalOf(status);
    return JxlDecoderGetBasicInfo(decoder.get(), &info) == JXL_DEC_SUCCESS
               ? kOk
               : DecodeResult(Refusal::Malformed);
}

// Red and blue swapped in place: the decoder writes R, G, B[, A], the picture holds B, G, R[, A].
void swapRedBlue(Picture& picture, int channels) {
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* p = picture.pixels() + std::size_t(y) * picture.rowSize();
        for (int x = 0; x < picture.width(); ++x, p += channels)
            std::swap(p[0], p[2]);
    }
}

} // namespace

DecodeResult readJxlHeader(ByteSource& source, PictureHeader& header) {
    std::vector<uint8_t> head;
    const uint64_t fileSize = source.size();
    for (std::size_t want = kFirstHeaderRead;; want *= 2) {
        const std::size_t take = std::size_t(std::min<uint64_t>(want, fileSize));
        head.resize(take);
        head.resize(source.readAt(0, head.data(), take));
        JxlBasicInfo info;
        const DecodeResult read = readBasicInfo(head.data(), head.size(), info);
        if (read) return checkedSize(info, header);
        if (read.refusal() != Refusal::Truncated || take == fileSize || want >= kMostHeaderRead)
            return read;
    }
}

DecodeResult decodeJxl(const uint8_t* data, std::size_t size, Picture& picture,
                       PictureMetadata& metadata) {
    if (size == 0) return Refusal::Truncated;
    if (JxlSignatureCheck(data, size) == JXL_SIG_INVALID) return Refusal::Malformed;
    // The size rule first, on a header read alone, before the decoder's threads are started.
    JxlBasicInfo info{};
    PictureHeader header;
    if (const DecodeResult read = readBasicInfo(data, size, info); !read) return read;
    if (const DecodeResult sized = checkedSize(info, header); !sized) return sized;
    const uint64_t channels = info.alpha_bits > 0 ? 4 : 3;
    if (!fitsItsData(header.pixels(), header.pixels() * channels, jxlProducible(size)))
        return Refusal::SizeRule;

    const Decoder decoder(JxlDecoderCreate(nullptr));
    if (!decoder) return Refusal::OutOfMemory;
    const std::unique_ptr<void, RunnerDeleter> runner(
        JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads()));
    if (!runner) return Refusal::OutOfMemory;
    // Rows as stored: the orientation is applied with every other format's, once.
    if (JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                     JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(decoder.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(decoder.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(decoder.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), data, size) != JXL_DEC_SUCCESS)
        return Refusal::Malformed;
    // The input is left open: a file cut short then asks for more (Truncated) where a closed
    // input would make it an error like any other.

    JxlPixelFormat format{uint32_t(channels), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(decoder.get());
        switch (status) {
        case JXL_DEC_BASIC_INFO:
            // The same header as read above; its size is what the output buffer is made for.
            if (JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS ||
                !checkedSize(info, header) || format.num_channels != (info.alpha_bits > 0 ? 4 : 3))
                return Refusal::Malformed;
            metadata.orientation = uint8_t(info.orientation);
            break;
        case JXL_DEC_COLOR_ENCODING:
            readColor(decoder.get(), metadata);
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            if (const DecodeResult made = createPicture(picture, int(info.xsize), int(info.ysize),
                                                        format.num_channels * 8);
                !made)
                return made;
            // Rows padded to 4 bytes, as the picture's are.
            std::size_t needed = 0;
            if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &needed) != JXL_DEC_SUCCESS ||
                needed > picture.imageSize() ||
                JxlDecoderSetImageOutBuffer(decoder.get(), &format, picture.pixels(), needed) !=
                    JXL_DEC_SUCCESS) {
                picture.release();
                return Refusal::Malformed;
            }
            break;
        }
        case JXL_DEC_FULL_IMAGE:
            // The first frame is the picture; an animation plays no further here.
            if (picture.empty()) return Refusal::Malformed;
            swapRedBlue(picture, int(format.num_channels));
            if (metadata.orientation < 1 || metadata.orientation > 8) metadata.orientation = 1;
            return kOk;
        default:
            picture.release();
            return refusalOf(status);
        }
    }
}

DecodeResult decodeJxl(const char* path, Picture& picture, PictureMetadata& metadata) {
    std::vector<uint8_t> bytes;
    if (const DecodeResult read = readWholeFile(path, bytes); !read) return read;
    return decodeJxl(bytes.data(), bytes.size(), picture, metadata);
}

} // namespace vistrel
