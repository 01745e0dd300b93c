// The layer and mask information section's parts: layer records, their additional-information
// blocks, their channel image data, and the document's patterns.
#pragma once

#include "psd_internal.h"

// A parser of one additional-information block of a layer record. `length` is the block's data
// length (rounded up to even, and never past the layer's extra data); the reader moves to the
// block's end itself afterwards, whatever the parser consumed. 0 or a status that fails the load.
using PsdLayerKeyParser = int (*)(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);
// The parser for a key; null for keys that are passed over by their length.
PsdLayerKeyParser psd_layer_key_parser(uint32_t key);

// Parsers of the simple keys that are more than one fixed field (the single-field keys are read
// by the key table itself).
int psd_read_unicode_name(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);       // "luni"
int psd_read_protection(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);         // "lspf"
int psd_read_sheet_color(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);        // "lclr"
int psd_read_reference_point(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);    // "fxrp"
int psd_read_section_divider(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length);    // "lsct"
int psd_read_blend_restrictions(PsdContext* ctx, PsdLayerRecord* layer, uint32_t length); // "brst"

// Releases the record of one additional-information entry by its type (`info_types`), with
// everything it owns.
void psd_free_layer_entry(uint32_t type, void* record);

// One layer record, from its rectangle to the end of its extra data, which must lie within
// `info_end`; the layer's defaults are set first.
int psd_read_layer_record(PsdContext* ctx, PsdLayerRecord* layer, uint64_t info_end);
// One layer's channel image data, decoded into its pixels and user mask.
int psd_read_layer_channels(PsdContext* ctx, PsdLayerRecord* layer);
// The index of the layer's channel with `id`: the last one, as when the file lists an id twice,
// or with `first` the first; -1 when there is none.
int psd_find_channel(const PsdLayerRecord* layer, int16_t id, bool first = false);
// The row converter of a layer's pixels and, for each plane it reads, the index of the layer's
// channel that holds it (-1: none, a zero plane); returns the number of planes.
int psd_layer_converter(const PsdContext* ctx, const PsdLayerRecord* layer, uint32_t width,
                        PsdRowConverter* converter, int channels[5]);
// One pattern of a "Patt", "Pat2" or "Pat3" block ending at `block_end`; the stream ends at the
// pattern's end whatever the result.
int psd_read_pattern(PsdContext* ctx, uint64_t block_end);
void psd_free_patterns(PsdContext* ctx);

// A row of zero samples as long as the longest row of any plane (a PSB layer's side, or a
// pattern's, an unsigned 16-bit value, at 16 bits a sample), for channels a layer or pattern
// lacks. Zero-initialised storage that is never written: it costs the program no bytes, and its
// pages stay the system's shared zero page.
inline constexpr uint64_t kPsdZeroRowBytes = 2 * kPsbMaxSide;
extern const uint8_t* const psd_zero_row;
