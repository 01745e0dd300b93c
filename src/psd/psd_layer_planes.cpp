// Where a layer's pixels come from: the channel that holds each plane, and the row converter that
// turns those planes into the layer's 32-bit pixels. Shared by the whole-layer decode and the
// compositor's band reader.
#include "psd_layer_reader.h"

namespace {
constexpr int16_t kTransparency = -1;
alignas(16) uint8_t zero_row[kPsdZeroRowBytes];
} // namespace

const uint8_t* const psd_zero_row = zero_row;

int psd_find_channel(const PsdLayerRecord* layer, int16_t id, bool first) {
    int found = -1;
    for (int i = 0; i < layer->channel_count; ++i)
        if (layer->channels[i].id == id) {
            found = i;
            if (first) break;
        }
    return found;
}

int psd_layer_converter(const PsdContext* ctx, const PsdLayerRecord* layer, uint32_t width,
                        PsdRowConverter* converter, int channels[5]) {
    const uint32_t mode = ctx->color_mode;
    const bool alpha = psd_find_channel(layer, kTransparency) >= 0;
    int16_t ids[5] = {0, 0, 0, 0, 0};
    int count = 0;
    psd_row_converter_init(converter, ctx);
    converter->width = width;
    converter->inks = false; // only the merged picture keeps its inks
    switch (mode) {
    case PSD_MODE_GRAYSCALE:
    case PSD_MODE_DUOTONE:
    case PSD_MODE_RGB:
    case PSD_MODE_CMYK:
    case PSD_MODE_LAB:
        count = psd_color_planes(mode);
        for (int i = 0; i < count; ++i)
            ids[i] = int16_t(i);
        if (alpha) ids[count++] = kTransparency;
        converter->alpha = alpha;
        break;
    case PSD_MODE_MULTICHANNEL:
        // Three inks, and black from the transparency channel when there is one.
        ids[0] = 0, ids[1] = 1, ids[2] = 2, ids[3] = kTransparency;
        count = 4;
        converter->black = alpha;
        break;
    default: // bitmap and indexed: one channel of indices or bits
        count = 1;
        break;
    }
    converter->planes = count;
    for (int p = 0; p < count; ++p)
        channels[p] = psd_find_channel(layer, ids[p]);
    return count;
}
