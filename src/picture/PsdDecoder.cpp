#include "PsdDecoder.h"

#include "ByteOrder.h"
#include "LargeBuffer.h"
#include "psd.h"
#include "psd_composite.h"

#include <cstring>

namespace vistrel {

namespace {

// Packs the merged 0xAARRGGBB words into 24-bit rows of blue, green, red in the same block, padded
// to 4 bytes. Every pixel moves towards the block's start (a 24-bit row is never longer than a
// row of words), so a pixel is read before anything is written over it. Each is written as four
// bytes, its fourth overwritten by the next pixel or the padding.
void packTo24InPlace(uint8_t* block, int width, int height) {
    const std::size_t rowSize = std::size_t(paddedRowSize(uint64_t(width), 24));
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = block + std::size_t(y) * std::size_t(width) * 4;
        uint8_t* target = block + std::size_t(y) * rowSize;
        for (int x = 0; x < width; ++x, source += 4, target += 3) {
            uint32_t pixel;
            std::memcpy(&pixel, source, 4);
            std::memcpy(target, &pixel, 4);
        }
        std::memset(target, 0, rowSize - std::size_t(width) * 3);
    }
    // The picture's spare bytes after its image.
    std::memset(block + rowSize * std::size_t(height), 0, kPixelSpareBytes);
}

// Hands a block of 0xAARRGGBB words (psd_merged_block_size bytes) to the picture: four channels
// keep their alpha, three are packed to 24 bits in place. The block is the picture's or freed.
DecodeResult adoptBlock(uint8_t* block, uint64_t blockBytes, int width, int height,
                        int bitsPerPixel, Picture& picture) {
    const uint64_t capacity = blockBytes - kPixelSpareBytes;
    DecodeResult made = Refusal::TooLarge;
    if (uint64_t(width) * uint64_t(height) <= kMaxPicturePixels) {
        if (bitsPerPixel == 24) packTo24InPlace(block, width, height);
        if (picture.adoptPixels(block, uint32_t(capacity), width, height, bitsPerPixel)) return kOk;
        made = Refusal::OutOfMemory;
    }
    freeLarge(block, std::size_t(blockBytes));
    return made;
}

// The merged pixels become the picture's own without a copy, so that a large file holds one
// picture at its peak, not two: four channels are already a 32-bit picture's layout (bytes
// blue, green, red, alpha; rows top first; a row of words needs no padding), three are packed
// to 24 bits in place.
DecodeResult takeMerged(PsdContext& psd, Picture& picture) {
    const int width = int(psd.width), height = int(psd.height);
    const int bitsPerPixel = psd.channel_count == 3 ? 24 : 32;
    const uint64_t blockBytes = psd_merged_block_size(&psd);
    auto* block = reinterpret_cast<uint8_t*>(psd_take_merged(&psd));
    if (!block) return Refusal::Malformed; // no merged picture
    return adoptBlock(block, blockBytes, width, height, bitsPerPixel, picture);
}

// The viewer shows three channels as 24 bits and four as 32 (a 4-channel CMYK file's alpha is
// 0xFF): the channel count decides, not the colour mode. Anything else is refused from the
// header, before a single plane is decoded.
int acceptShownChannels(const PsdContext* header) {
    return header->channel_count == 3 || header->channel_count == 4 ? PSD_OK
                                                                    : PSD_ERR_NO_CONVERSION;
}

constexpr uint32_t kLayerSection = 3; // the load state that reads the layers

// The refusal a reader status code stands for.
Refusal psdRefusal(int status) {
    switch (status) {
    case PSD_OK:
        return Refusal::None;
    case PSD_ERR_OPEN:
        return Refusal::CannotOpen;
    case PSD_ERR_NOT_FILE:
        return Refusal::NotRegularFile;
    case PSD_ERR_MEMORY:
        return Refusal::OutOfMemory;
    case PSD_ERR_BUDGET:
        return Refusal::OverBudget;
    // The reader's decompression-bomb rule reports data short of what the header says too.
    case PSD_ERR_SHORT:
        return Refusal::Truncated;
    case PSD_ERR_SIZE:
        return Refusal::TooLarge;
    // Valid files the reader does not take: other versions, depths, colour modes, compressions,
    // channel counts the viewer does not show.
    case PSD_ERR_VERSION:
    case PSD_ERR_DEPTH:
    case PSD_ERR_MODE:
    case PSD_ERR_COMPRESSION:
    case PSD_ERR_COLOR_SPACE:
    case PSD_ERR_NO_CONVERSION:
        return Refusal::Unsupported;
    default:
        return Refusal::Malformed;
    }
}

// A file saved without a real merged picture is shown by compositing its layers, read again with
// their pixels this time (under the same size rule and memory budget; patterns, which the
// compositor does not draw, are not decoded; layer rows are decoded band by band as they are
// drawn, where the file allows). Three channels are shown over white, as the document
// would be flattened; four keep the composite's alpha.
DecodeResult composeLayers(const char* path, Picture& picture) {
    PsdOptions options{};
    options.skip_pattern_pixels = 1;
    options.defer_layer_pixels = 1;
    options.check_header = acceptShownChannels;
    PsdContext* psd = nullptr;
    int status = psd_open_with(&psd, path, &options);
    uint32_t* pixels = nullptr;
    if (status == PSD_OK) status = psd_composite(psd, &pixels);
    if (status != PSD_OK) {
        psd_free(psd);
        return psdRefusal(status);
    }
    const int width = int(psd->width), height = int(psd->height);
    const int bitsPerPixel = psd->channel_count == 3 ? 24 : 32;
    const uint64_t blockBytes = psd_merged_block_size(psd);
    psd_free(psd);
    if (bitsPerPixel == 24) {
        const uint64_t count = uint64_t(width) * uint64_t(height);
        for (uint64_t i = 0; i < count; ++i) {
            const uint32_t p = pixels[i], a = p >> 24, white = (255 - a) * 255;
            auto over = [&](int shift) { return ((p >> shift & 0xFF) * a + white + 127) / 255; };
            pixels[i] = 0xFF000000u | over(16) << 16 | over(8) << 8 | over(0);
        }
    }
    return adoptBlock(reinterpret_cast<uint8_t*>(pixels), blockBytes, width, height, bitsPerPixel,
                      picture);
}

} // namespace

DecodeResult readPsdHeader(ByteSource& source, PictureHeader& header) {
    // "8BPS", version (2), reserved (6), channels (2), height and width (4 each).
    uint8_t head[22];
    const std::size_t got = source.readAt(0, head, sizeof head);
    if (got < 4) return Refusal::Truncated;
    if (bigEndian32(head) != 0x38425053) return Refusal::Malformed;
    if (got < sizeof head) return Refusal::Truncated;
    if (!header.setSize(bigEndian32(head + 18), bigEndian32(head + 14))) return Refusal::Malformed;
    header.bitsPerPixel = bigEndian16(head + 12) == 3 ? 24 : 32;
    header.frames = 1;
    return kOk;
}

DecodeResult decodePsd(const char* path, Picture& picture) {
    PictureMetadata unused;
    return decodePsd(path, picture, unused);
}

DecodeResult decodePsd(const char* path, Picture& picture, PictureMetadata& metadata) {
    // The layers are read, but their pixels are not decoded: the picture is the merged one, unless
    // the file says it is not real (or left it blank).
    PsdOptions options{};
    options.skip_layer_pixels = 1;
    options.check_header = acceptShownChannels;
    options.cmyk_inks_with_profile = 1;
    PsdContext* psd = nullptr;
    int status = psd_open_with(&psd, path, &options);
    if (status != PSD_OK && options.failed_state == kLayerSection) {
        // The merged picture does not depend on the layers: a layer section this reader cannot
        // take (damaged, or past the memory budget) still leaves the picture to show.
        options.skip_layers = 1;
        status = psd_open_with(&psd, path, &options);
    }
    if (status != PSD_OK) return psdRefusal(status);
    if (!psd) return Refusal::Malformed;

    // The profile (resource 1039); a CMYK file that has one kept its inks for it.
    const auto& profile = psd->resources.icc_profile;
    if (profile.present) metadata.iccProfile.assign(profile.data, profile.data + profile.size);
    metadata.inks = profile.present && psd->color_mode == PSD_MODE_CMYK && psd->channel_count == 4;
    const bool mergedIsReal = psd_merged_is_real(psd);
    const bool cmyk = psd->color_mode == PSD_MODE_CMYK;
    const DecodeResult made = takeMerged(*psd, picture);
    psd_free(psd);
    if (mergedIsReal) return made;
    // The layers stand for the document; when they cannot be composited, the merged picture the
    // file holds is still better than nothing.
    Picture composed;
    const DecodeResult composite = composeLayers(path, composed);
    if (!composite.ok()) return made.ok() ? made : composite;
    picture.swap(composed);
    // The compositor turns inks into RGB itself: a CMYK profile no longer describes its pixels.
    if (cmyk) {
        metadata.iccProfile.clear();
        metadata.inks = false;
    }
    return composite;
}

} // namespace vistrel
