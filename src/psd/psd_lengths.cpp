// The lengths the large document format (PSB, version 2) widens to 8 bytes: the layer and mask
// section, the layer info, each channel's image data, and the additional-information blocks whose
// data can pass 4 GiB. Everything else keeps its 4-byte length in both formats.
#include "psd_internal.h"

namespace {

constexpr uint32_t kLargeBlockKeys[] = {
    psd_key("LMsk"), psd_key("Lr16"), psd_key("Lr32"), psd_key("Layr"), psd_key("Mt16"),
    psd_key("Mt32"), psd_key("Mtrn"), psd_key("Alph"), psd_key("FMsk"), psd_key("lnk2"),
    psd_key("FEid"), psd_key("FXid"), psd_key("PxSD"),
};

uint64_t read_u64(PsdContext* ctx) {
    const uint64_t high = psd_read_u32(ctx);
    return (high << 32) | psd_read_u32(ctx);
}

} // namespace

uint64_t psd_read_length(PsdContext* ctx) {
    return psd_is_large(ctx) ? read_u64(ctx) : psd_read_u32(ctx);
}

uint64_t psd_read_block_length(PsdContext* ctx, uint32_t key) {
    if (psd_is_large(ctx))
        for (uint32_t large : kLargeBlockKeys)
            if (key == large) return read_u64(ctx);
    return psd_read_u32(ctx);
}
