#include "PsdDecoder.h"

#include "LargeBuffer.h"
#include "psd.h"

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

// The merged pixels become the picture's own without a copy, so that a large file holds one
// picture at its peak, not two: four channels are already a 32-bit picture's layout (bytes
// blue, green, red, alpha; rows top first; a row of words needs no padding), three are packed
// to 24 bits in place.
bool takeMerged(PsdContext& psd, Picture& picture) {
    const int width = int(psd.width), height = int(psd.height);
    const int bitsPerPixel = psd.channel_count == 3 ? 24 : 32;
    const uint64_t blockBytes = psd_merged_block_size(&psd);
    auto* block = reinterpret_cast<uint8_t*>(psd_take_merged(&psd));
    if (!block) return false;
    const uint64_t capacity = blockBytes - kPixelSpareBytes;
    if (uint64_t(width) * uint64_t(height) <= kMaxPicturePixels) {
        if (bitsPerPixel == 24) packTo24InPlace(block, width, height);
        if (picture.adoptPixels(block, uint32_t(capacity), width, height, bitsPerPixel))
            return true;
    }
    freeLarge(block, std::size_t(blockBytes));
    return false;
}

// The viewer shows three channels as 24 bits and four as 32 (a 4-channel CMYK file's alpha is
// 0xFF): the channel count decides, not the colour mode. Anything else is refused from the
// header, before a single plane is decoded.
int acceptShownChannels(const PsdContext* header) {
    return header->channel_count == 3 || header->channel_count == 4 ? PSD_OK
                                                                    : PSD_ERR_NO_CONVERSION;
}

constexpr uint32_t kLayerSection = 3; // the load state that reads the layers

} // namespace

bool decodePsd(const char* path, Picture& picture) {
    // The layers are read, but their pixels are not decoded: the picture is the merged one.
    PsdOptions options{};
    options.skip_layer_pixels = 1;
    options.check_header = acceptShownChannels;
    PsdContext* psd = nullptr;
    int status = psd_open_with(&psd, path, &options);
    if (status != PSD_OK && options.failed_state == kLayerSection) {
        // The merged picture does not depend on the layers: a layer section this reader cannot
        // take (damaged, or past the memory budget) still leaves the picture to show.
        options.skip_layers = 1;
        status = psd_open_with(&psd, path, &options);
    }
    if (status != PSD_OK || !psd) return false;

    const bool ok = takeMerged(*psd, picture);
    psd_free(psd);
    return ok;
}

} // namespace vistrel
