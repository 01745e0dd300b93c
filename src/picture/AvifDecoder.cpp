#include "AvifDecoder.h"

#include "ByteOrder.h"
#include "ByteSource.h"
#include "DecodeLimits.h"
#include "ExifReader.h"
#include "HeifDecoder.h"

#include <avif/avif.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace vistrel {

namespace {

// The side of the largest square picture the program holds, as the HEIF reader refuses past it.
constexpr uint32_t kMaxSide = 16384;

struct DecoderDeleter {
    void operator()(avifDecoder* decoder) const { avifDecoderDestroy(decoder); }
};

DecodeResult refusalOf(avifResult result) {
    switch (result) {
    case AVIF_RESULT_OK:
        return kOk;
    case AVIF_RESULT_TRUNCATED_DATA:
        return Refusal::Truncated;
    case AVIF_RESULT_OUT_OF_MEMORY:
        return Refusal::OutOfMemory;
    case AVIF_RESULT_NO_CODEC_AVAILABLE:
        return Refusal::NoDecoder;
    case AVIF_RESULT_NOT_IMPLEMENTED:
    case AVIF_RESULT_UNSUPPORTED_DEPTH:
        return Refusal::Unsupported;
    default:
        return Refusal::Malformed;
    }
}

// libavif names a damaged or cut file by whatever it then misses; the HEIF reader's reason (the
// box that runs past the end, the size past every picture's) is the one the header gives too.
DecodeResult refusalOf(avifResult result, const uint8_t* data, std::size_t size) {
    MemorySource source(data, size);
    PictureHeader header;
    if (const DecodeResult read = readHeifHeader(source, header); !read) return read;
    if (boxRunsPastEnd(source)) return Refusal::Truncated;
    return refusalOf(result);
}

// irot (quarter turns counter-clockwise), then imir (mode 1: left and right exchanged; 0: top and
// bottom), as the EXIF orientation that does the same.
uint8_t orientationOf(const avifImage& image) {
    const int turns = image.transformFlags & AVIF_TRANSFORM_IROT ? image.irot.angle & 3 : 0;
    const int mirror = image.transformFlags & AVIF_TRANSFORM_IMIR ? 1 + (image.imir.mode & 1) : 0;
    //                                  no mirror, top-bottom, left-right
    static constexpr uint8_t kOrientation[4][3] = {{1, 4, 2}, {8, 5, 7}, {3, 2, 4}, {6, 7, 5}};
    return kOrientation[turns][mirror];
}

void readColor(const avifImage& image, PictureMetadata& metadata) {
    if (image.icc.size > 0) {
        metadata.iccProfile.assign(image.icc.data, image.icc.data + image.icc.size);
        return;
    }
    float primaries[8];
    avifColorPrimariesGetValues(image.colorPrimaries, primaries);
    describeCodedColor(image.colorPrimaries, image.transferCharacteristics, primaries, metadata);
}

// The camera named in the EXIF block: a TIFF header, or (as the item holds it) the offset of the
// TIFF header from the end of that 32-bit field first.
void readCamera(const avifImage& image, PictureMetadata& metadata) {
    const uint8_t* block = image.exif.data;
    std::size_t size = image.exif.size;
    if (size < 8) return;
    if (!((block[0] == 'M' && block[1] == 'M') || (block[0] == 'I' && block[1] == 'I'))) {
        const uint32_t skip = bigEndian32(block);
        if (skip > size - 4) return;
        block += 4 + skip;
        size -= 4 + skip;
    }
    ExifFacts facts;
    readExif(block, size, facts);
    metadata.cameraText = facts.cameraText;
    metadata.dateTaken = facts.dateTaken;
}

} // namespace

DecodeResult decodeAvif(const uint8_t* data, std::size_t size, Picture& picture,
                        PictureMetadata& metadata) {
    if (size < 12) return Refusal::Truncated;
    if (!isAvif(data, size)) return Refusal::Malformed;
    const std::unique_ptr<avifDecoder, DecoderDeleter> decoder(avifDecoderCreate());
    if (!decoder) return Refusal::OutOfMemory;
    decoder->maxThreads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    decoder->imageSizeLimit = uint32_t(kMaxPicturePixels);
    decoder->ignoreXMP = AVIF_TRUE;
    if (const avifResult set = avifDecoderSetIOMemory(decoder.get(), data, size);
        set != AVIF_RESULT_OK)
        return refusalOf(set);
    if (const avifResult parsed = avifDecoderParse(decoder.get()); parsed != AVIF_RESULT_OK)
        return refusalOf(parsed, data, size);
    const avifImage& image = *decoder->image;
    // The crop of a clean aperture is libheif's to apply.
    if (image.transformFlags & AVIF_TRANSFORM_CLAP)
        return decodeHeif(data, size, picture, metadata);
    const uint64_t pixels = uint64_t(image.width) * image.height;
    if (pixels == 0) return Refusal::Malformed;
    if (pixels > kMaxPicturePixels || image.width > kMaxSide || image.height > kMaxSide)
        return Refusal::TooLarge;
    const bool alpha = decoder->alphaPresent;
    if (!fitsItsData(pixels, pixels * (alpha ? 4 : 3), avifProducible(size)))
        return Refusal::SizeRule;
    if (const avifResult decoded = avifDecoderNextImage(decoder.get()); decoded != AVIF_RESULT_OK)
        return refusalOf(decoded, data, size);
    const avifImage& frame = *decoder->image;
    if (frame.width != image.width || frame.height != image.height) return Refusal::Malformed;
    if (const DecodeResult made =
            createPicture(picture, int(frame.width), int(frame.height), alpha ? 32 : 24);
        !made)
        return made;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, &frame);
    rgb.format = alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
    rgb.depth = 8;
    rgb.pixels = picture.pixels();
    rgb.rowBytes = uint32_t(picture.rowSize());
    if (const avifResult converted = avifImageYUVToRGB(&frame, &rgb); converted != AVIF_RESULT_OK)
        return refusalOf(converted);
    metadata.orientation = orientationOf(frame);
    readColor(frame, metadata);
    readCamera(frame, metadata);
    return kOk;
}

DecodeResult decodeAvif(const char* path, Picture& picture, PictureMetadata& metadata) {
    std::vector<uint8_t> bytes;
    if (const DecodeResult read = readWholeFile(path, bytes); !read) return read;
    return decodeAvif(bytes.data(), bytes.size(), picture, metadata);
}

} // namespace vistrel
