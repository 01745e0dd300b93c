// What the parsers of additional-information blocks share: registering the layer's entry with
// its record, and the status codes of these blocks.
#pragma once

#include "psd_layer_info.h"

// Registers an entry of `type` with a zeroed record of T and sets the layer's kind (0 leaves it).
template <class T>
int psd_begin_entry(PsdLayerRecord* layer, PsdEntryType type, int32_t kind, T*& record) {
    void* data = nullptr;
    const int status = psd_add_layer_entry(layer, type, sizeof(T), &data);
    if (status != PSD_OK) return status;
    record = static_cast<T*>(data);
    if (kind != 0) layer->kind = kind;
    return PSD_OK;
}

// A parser's result when registering did not give PSD_OK: a full layer passes the block over.
inline int psd_entry_not_added(int status) {
    return status == PSD_LAYER_ENTRIES_FULL ? PSD_OK : status;
}

// A count the format stores as signed 16 bits: negative is an error, and the block must hold
// `count` items of at least `item_size` bytes.
inline int psd_check_count(PsdBlock& block, int16_t count, uint32_t item_size) {
    if (count < 0) return PSD_ERR_NEGATIVE_COUNT;
    if (uint64_t(count) * item_size > block.left()) return PSD_ERR_SHORT;
    return PSD_OK;
}
