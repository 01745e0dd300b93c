// Buffers of the PSD reader that scale with the picture (planes, merged pixels, layer pixels, the
// rest of the file) come from the program's huge-page helper, and are held against the decode's
// memory budget so that no file, however it is made, can make one decode take more than that.
#include "psd_internal.h"

#include "LargeBuffer.h"
#include "System.h"

#include <algorithm>
#include <cstdint>

void* psd_alloc_large(uint64_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX) return nullptr;
    return vistrel::allocateLarge(size_t(bytes));
}

void psd_free_large(void* block, uint64_t bytes) {
    if (block) vistrel::freeLarge(block, size_t(bytes));
}

uint64_t psd_default_memory_budget() {
    constexpr uint64_t kCeiling = uint64_t(4) << 30;
    const uint64_t memory = vistrel::physicalMemoryBytes();
    return memory ? std::min(kCeiling, memory / 2) : kCeiling;
}

int psd_alloc_held(PsdContext* ctx, uint64_t bytes, void** block) {
    *block = nullptr;
    if (bytes == 0) return PSD_OK;
    if (int status = psd_hold(ctx, bytes)) return status;
    *block = psd_alloc_large(bytes);
    if (*block) return PSD_OK;
    psd_release(ctx, bytes);
    return PSD_ERR_MEMORY;
}

int psd_hold(PsdContext* ctx, uint64_t bytes) {
    if (bytes > ctx->memory_budget || ctx->memory_held > ctx->memory_budget - bytes)
        return PSD_ERR_BUDGET;
    ctx->memory_held += bytes;
    return PSD_OK;
}

void psd_release(PsdContext* ctx, uint64_t bytes) {
    ctx->memory_held -= std::min(ctx->memory_held, bytes);
}

void psd_free_held(PsdContext* ctx, void* block, uint64_t bytes) {
    if (!block) return;
    psd_free_large(block, bytes);
    if (ctx) psd_release(ctx, bytes);
}

uint64_t psd_merged_block_size(const PsdContext* ctx) {
    return uint64_t(ctx->width) * ctx->height * 4 + vistrel::kPixelSpareBytes;
}

uint32_t* psd_take_merged(PsdContext* ctx) {
    if (!ctx || !ctx->merged) return nullptr;
    uint32_t* merged = ctx->merged;
    ctx->merged = nullptr;
    const uint64_t bytes = psd_merged_block_size(ctx);
    ctx->memory_held -= std::min(ctx->memory_held, bytes);
    for (int32_t i = 0; ctx->layers && i < ctx->layer_count; ++i) {
        PsdLayerRecord& layer = ctx->layers[i];
        if (layer.pixels_lent && layer.pixels == merged) {
            layer.pixels = nullptr;
            layer.pixels_size = 0;
            layer.pixels_lent = 0;
        }
    }
    return merged;
}

int psd_grow_scratch(PsdContext* ctx, uint8_t** buffer, uint64_t* capacity, uint64_t need,
                     uint64_t floor) {
    if (need == 0 || (need <= *capacity && *buffer)) return PSD_OK;
    // Doubling that would wrap is no growth at all: the need alone decides then.
    const uint64_t doubled = *capacity <= UINT64_MAX / 2 ? *capacity * 2 : need;
    const uint64_t size = std::max({doubled, need, floor});
    psd_free_held(ctx, *buffer, *capacity);
    *buffer = nullptr;
    *capacity = 0;
    void* grown = nullptr;
    if (const int status = psd_alloc_held(ctx, size, &grown)) return status;
    *buffer = static_cast<uint8_t*>(grown);
    *capacity = size;
    return PSD_OK;
}

uint64_t psd_best_output(uint16_t method, uint64_t data_bytes) {
    // 0 raw, 1 PackBits, 2 and 3 ZIP (deflate, with or without prediction).
    if (method == 0) return vistrel::rawProducible(data_bytes);
    if (method == 1) return vistrel::packBitsProducible(data_bytes);
    return vistrel::deflateProducible(data_bytes);
}
