#include "PsdDecoder.h"

#include "ByteOrder.h"
#include "psd.h"

#include <cstring>

namespace vistrel {

namespace {

// Merged pixels are 0xAARRGGBB words, top row first; the picture's rows run bottom-up.
void copyPixels(const PsdContext& psd, Picture& picture, int bitsPerPixel) {
    const int width = int(psd.width), height = int(psd.height);
    const uint32_t rowSize = picture.rowSize();
    uint8_t* bits = picture.lockBits();
    for (int k = 0; k < height; ++k) {
        const uint32_t* source = psd.merged + std::size_t(k) * std::size_t(width);
        uint8_t* target = bits + std::size_t(height - 1 - k) * rowSize;
        if (bitsPerPixel == 32) {
            // Bytes blue, green, red, alpha in memory on both sides.
            std::memcpy(target, source, std::size_t(width) * 4);
            continue;
        }
        // Four bytes stored per pixel, three kept: the fourth is overwritten by the next pixel.
        // The last pixel of a row is stored byte by byte, so no row spills into its neighbour.
        for (int x = 0; x + 1 < width; ++x) {
            std::memcpy(target, &source[x], 4);
            target += 3;
        }
        const uint32_t last = source[width - 1];
        target[0] = uint8_t(last);
        target[1] = uint8_t(last >> 8);
        target[2] = uint8_t(last >> 16);
    }
    picture.unlockBits();
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
    // Valid files the reader does not take: other versions (the large document format), depths,
    // colour modes, compressions, channel counts the viewer does not show.
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
    if (status != PSD_OK) return psdRefusal(status);
    if (!psd) return Refusal::Malformed;

    const int bitsPerPixel = psd->channel_count == 3 ? 24 : 32;
    DecodeResult made = Refusal::Malformed; // no merged picture
    if (psd->merged) made = createPicture(picture, int(psd->width), int(psd->height), bitsPerPixel);
    if (made) copyPixels(*psd, picture, bitsPerPixel);
    psd_free(psd);
    return made;
}

} // namespace vistrel
