// Layers drawn straight from the file (PsdOptions::defer_layer_pixels): the load notes where each
// colour channel lies, and the compositor decodes the rows of one band of the document at a time
// into a small reused scratch, blending them while they are in the processor's cache. A 4000x3000
// document of 20 layers then never holds its 960 MB of layer pixels, whose fresh pages the system
// would clear one by one, nor reads its channel data into memory whole.
//
// Raw and PackBits channels are deferred; a layer with a ZIP channel is decoded whole as before.
// PackBits data is decoded as one stream per channel, row count by row count, as the whole-plane
// decoder does, with a cursor that carries over what a row makes past the band: a row that
// unpacks to more or fewer bytes than the layer is wide shifts the rows after it in both ways
// alike, so the pixels are the same whatever the data holds.
#pragma once

#include "psd_internal.h"

// One plane the row converter reads.
struct PsdBandPlane {
    bool present;    // false: a zero plane (no channel, or only its compression field)
    uint16_t method; // 0 raw, 1 PackBits
    uint64_t data;   // file offset of the channel's data after its compression field
    uint64_t size;   // bytes of data from there
    // PackBits: the row counts (read with the first band) and where the decode stands: the next
    // row, its first byte (from `data`), and the decoded bytes not yet drawn (plane offset
    // `pending_from` on).
    uint8_t* counts;
    uint64_t counts_size;
    uint32_t next_row;
    uint64_t in;
    uint8_t* pending;
    uint64_t pending_from, pending_fill, pending_capacity;
    // Bytes read ahead from the file, from data offset `ahead_at` on.
    uint8_t* ahead;
    uint64_t ahead_at, ahead_fill, ahead_capacity;
};

struct PsdLayerBands {
    PsdRowConverter converter;
    uint32_t rows;
    uint64_t row_bytes;
    int planes;
    PsdBandPlane plane[5];
};

// Decides from the compression fields of one layer's channels (its data starting at file offset
// `offset`) whether its colour channels stay in the file; if so, records them in layer->bands and
// gives the channels the converter reads in `channels` (-1 for the others). PSD_OK either way, or
// PSD_ERR_MEMORY.
int psd_defer_layer_bands(PsdContext* ctx, PsdLayerRecord* layer, uint64_t offset, int channels[5]);
// Releases the record and every buffer it holds, their bytes given back to `ctx` (may be null).
void psd_free_layer_bands(PsdContext* ctx, PsdLayerRecord* layer);

// Working memory of psd_read_layer_band, reused from band to band.
struct PsdBandScratch {
    uint8_t* planes = nullptr;
    uint64_t capacity = 0;
    ~PsdBandScratch();
};

// Rows first..first+count of a deferred layer as 0xAARRGGBB words into `out` (count x the layer's
// width), as the whole decode makes them. Bands come top down. PSD_OK; PSD_ERR_SHORT when the
// file no longer holds what the load found; PSD_ERR_BUDGET or PSD_ERR_MEMORY. Buffers are held
// against the decode's budget.
int psd_read_layer_band(PsdContext* ctx, const PsdLayerRecord* layer, uint32_t first,
                        uint32_t count, PsdBandScratch* scratch, uint32_t* out);
