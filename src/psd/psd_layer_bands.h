// Layers drawn straight from the file (PsdOptions::defer_layer_pixels): the load records where each
// colour channel's rows lie, and the compositor decodes the rows of one band of the document at a
// time into a small reused scratch, blending them while they are in the processor's cache. A
// 4000x3000 document of 20 layers then never holds its 960 MB of layer pixels, whose fresh pages
// the system would clear one by one.
//
// Only channels whose rows can be found on their own are deferred: raw data that fills its plane,
// and PackBits data whose every row unpacks to exactly the row's bytes within its stated count.
// Anything else (ZIP, short or uneven rows, which the whole-plane decoder lets run on into the next
// row) is decoded whole as before, so both ways give the same pixels.
#pragma once

#include "psd_internal.h"

// One plane the row converter reads.
struct PsdBandPlane {
    uint16_t method;     // 0 raw, 1 PackBits; no data: zero rows
    bool present;        // false: a zero plane (no channel, or only its compression field)
    uint64_t data;       // file offset of the first row's bytes
    uint64_t size;       // bytes of rows from there
    uint64_t* row_start; // PackBits: rows + 1 offsets from `data`
    // Bytes read ahead from the file, from `ahead_at` on (held against the budget; released
    // once the last row is read).
    uint8_t* ahead;
    uint64_t ahead_at, ahead_fill, ahead_capacity;
};

struct PsdLayerBands {
    PsdRowConverter converter;
    uint32_t rows;
    uint64_t row_bytes;
    int planes;
    PsdBandPlane plane[5];
    uint64_t held; // bytes held against the budget
};

// Decides, from one layer's channel data (`data`, read whole, which starts at file offset
// `offset`), whether its colour channels can be deferred; if so, records them in layer->bands.
// PSD_OK either way; PSD_ERR_BUDGET or PSD_ERR_MEMORY.
int psd_defer_layer_bands(PsdContext* ctx, PsdLayerRecord* layer, const uint8_t* data,
                          uint64_t offset);
void psd_free_layer_bands(PsdContext* ctx, PsdLayerRecord* layer);

// Working memory of psd_read_layer_band, reused from band to band.
struct PsdBandScratch {
    uint8_t* planes = nullptr;
    uint64_t capacity = 0;
    ~PsdBandScratch();
};

// Rows first..first+count of a deferred layer as 0xAARRGGBB words into `out` (count x the layer's
// width), as the whole decode would have made them. PSD_OK, PSD_ERR_SHORT when the file no
// longer holds the rows, or PSD_ERR_MEMORY.
int psd_read_layer_band(PsdContext* ctx, const PsdLayerRecord* layer, uint32_t first,
                        uint32_t count, PsdBandScratch* scratch, uint32_t* out);
