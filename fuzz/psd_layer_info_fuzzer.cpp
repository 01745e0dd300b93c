// libFuzzer harness for the additional-information parsers (adjustment, fill and type layers,
// both forms of layer effects, and through them the descriptor walker and value readers), and for
// whole layer records in PSD and PSB form (channel lists, masks, blending ranges, names, blocks
// refused and passed over): the first byte picks the key or the record reader, the rest is the
// block or the record; then the layer's entries are released.
#include "psd_layer_info.h"
#include "psd_layer_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr uint32_t kKeys[] = {
    psd_key("levl"), psd_key("curv"), psd_key("brit"), psd_key("blnc"), psd_key("hue2"),
    psd_key("selc"), psd_key("thrs"), psd_key("nvrt"), psd_key("post"), psd_key("mixr"),
    psd_key("grdm"), psd_key("phfl"), psd_key("tySh"), psd_key("SoCo"), psd_key("GdFl"),
    psd_key("PtFl"), psd_key("lrFX"), psd_key("lfx2"),
};
constexpr size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];
// After the keys: a layer record of a PSD (version 1), of a PSB (version 2).
constexpr size_t kChoices = kKeyCount + 2;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t choice = data[0] % kChoices;
    // The block as the layer reader hands it over: a stream over the bytes, length rounded up.
    auto* ctx = static_cast<PsdContext*>(std::calloc(1, sizeof(PsdContext)));
    if (!ctx) return 0;
    ctx->stream.memory = data + 1;
    ctx->stream.file_size = int64_t(size - 1);
    ctx->memory_budget = uint64_t(64) << 20;
    PsdLayerRecord layer{};
    if (choice >= kKeyCount) {
        ctx->version = uint16_t(choice - kKeyCount + 1);
        ctx->depth = 8;
        ctx->color_mode = PSD_MODE_RGB;
        psd_read_layer_record(ctx, &layer, size - 1);
        psd_free_layer_record(ctx, &layer);
        psd_free(ctx);
        return 0;
    }
    // Two blocks on one layer: the second sees the entries of the first (and the full layer).
    for (int round = 0; round < 2; ++round) {
        ctx->stream.offset = 0;
        ctx->stream.fill = ctx->stream.position = 0;
        ctx->stream.consumed = 0;
        psd_layer_key_parser(kKeys[choice])(ctx, &layer, uint32_t((size - 1 + 1) & ~size_t(1)));
    }
    for (int i = 0; i < layer.info_count; ++i)
        psd_free_layer_entry(layer.info_types[i], layer.info_data[i]);
    psd_free(ctx);
    return 0;
}
