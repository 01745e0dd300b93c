// The layer compositor: draws a document's layers, read with their pixels, into one picture, for
// files saved without a real merged picture and for tools that want the layers' own result.
//
// It draws every layer kind that holds pixels, with every blend mode of PsdBlendMode, opacity and
// fill opacity, user masks (default colour outside their rectangle; disabled masks ignored),
// clipping groups, pass-through and isolated groups, and hidden layers, in the document's
// colour mode as the reader converts it (grayscale, RGB, CMYK, 8 and 16 bits). Solid colour
// fill layers are drawn as their colour through their user mask. What it does not draw is
// reported as PsdUnrendered flags.
#pragma once

#include "psd.h"

#include <cstdint>

// What a document holds that the compositor leaves out (bit flags).
enum PsdUnrendered : uint32_t {
    PSD_UNRENDERED_EFFECTS = 1u << 0,       // layer effects (shadows, glows, strokes, overlays)
    PSD_UNRENDERED_VECTOR_MASKS = 1u << 1,  // vector masks ("vmsk", "vsms")
    PSD_UNRENDERED_SMART_OBJECTS = 1u << 2, // placed content, drawn as its stored pixels only
    PSD_UNRENDERED_ADJUSTMENTS = 1u << 3,   // adjustment layers
    PSD_UNRENDERED_FILLS = 1u << 4,         // gradient and pattern fill layers
    PSD_UNRENDERED_BLEND_IF = 1u << 5,      // blending ranges that hide part of a layer
    PSD_UNRENDERED_KNOCKOUT = 1u << 6,      // knockout
};
inline constexpr int kPsdUnrenderedCount = 7;
// Name of one flag ("effects", "vectorMasks", ...); null for anything else.
const char* psd_unrendered_name(uint32_t flag);

// Whether the merged picture stands for the document: not when the version-info resource (1057)
// says the merged data is not real, nor when it is blank (every pixel the same transparent, black
// or white word) while visible layers hold pixels, as writers leave it when they save without a
// merged picture.
bool psd_merged_is_real(const PsdContext* ctx);

// What the compositor would leave out of the visible layers of `ctx`, as PsdUnrendered flags.
uint32_t psd_composite_unrendered(const PsdContext* ctx);

// Composites the layers of `ctx` (read with their pixels, or left in the file by
// PsdOptions::defer_layer_pixels) into width x height 0xAARRGGBB words,
// rows top first, in a block of psd_merged_block_size bytes from the large-buffer helper (free it
// with psd_free_large; a picture may adopt it). Places no layer covers are transparent. Working
// buffers are held against the decode's memory budget. 0, PSD_ERR_BUDGET or PSD_ERR_MEMORY, or
// PSD_ERR_SHORT when the file no longer holds a layer left in it.
int psd_composite(PsdContext* ctx, uint32_t** out);
