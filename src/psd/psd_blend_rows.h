// The blend modes of layers over a canvas, one row at a time, in floats from 0 to 1.
//
// A canvas row holds premultiplied red, green, blue and alpha; a source row holds colour that is
// not premultiplied and the alpha the layer draws with (its transparency, mask and opacity
// already applied). Both are four planes, red, green, blue and alpha, each `canvas_stride` (or
// `stride`) floats from the one before: the loops then read and write every channel with plain
// vector loads and stores, where interleaved pixels would be regrouped on the way in and out.
// Blending follows the separable and non-separable blend functions of the compositing model writers
// use: the result of a mode B is
//   colour = as * ((1 - ab) * Cs + ab * B(Cb, Cs)) + (1 - as) * cb
// drawn over the canvas, with alpha as + ab - as * ab.
#pragma once

#include "psd.h"

#include <cstddef>
#include <cstdint>

void psd_blend_row(PsdBlendMode mode, float* canvas, size_t canvas_stride, const float* source,
                   size_t stride, uint32_t count, uint32_t x, uint32_t y);

// One blend function on one pixel (r, g, b of backdrop and source, 0 to 1), for tests.
void psd_blend_pixel(PsdBlendMode mode, const float backdrop[3], const float source[3],
                     float result[3]);
