#pragma once

#include "ByteSource.h"
#include "Geometry.h"
#include "PictureFormat.h"
#include "PictureMetadata.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistrel {

// PNG files: every colour type and bit depth, not interlaced. 16-bit channels are cut to 8, grey
// with alpha becomes 32-bit colour, palette and grey pictures keep their depth with a colour
// table; grey or colour with a transparent colour (tRNS) becomes 32-bit colour with that colour
// transparent (compared before 16 bits are cut), and so does a palette whose tRNS makes any
// entry less than opaque, each pixel taking its entry's alpha. Decoded by the fast path
// (PngFastPath.h) when it takes the file, by libpng otherwise; the bytes are the same either way.
DecodeResult decodePng(const uint8_t* data, std::size_t size, Picture& picture);
DecodeResult decodePng(const char* path, Picture& picture);
// The same with what the file says beside its pixels (PngMetadata.h).
DecodeResult decodePng(const char* path, Picture& picture, PictureMetadata& metadata);
// Through libpng alone: the reference the fast path is held to.
DecodeResult decodePngWithLibpng(const uint8_t* data, std::size_t size, Picture& picture);

// A picture larger than it needs to be for its screen copy, decoded at 1/`reduction` of its size
// each way (sides rounded up), every pixel the mean of the block it stands for: the rows are read
// from `file` one at a time and neither the file nor the full picture is ever held. Only for the
// colour types held at 24 or 32 bits (colour, grey with alpha, colour with alpha, a palette with
// translucent entries) and files not interlaced; Unsupported for the others, which decodePng
// reads. `imageData` is the count of image data bytes (readPngChunksBesideImage), which the size
// rule weighs. With a `copy` size the picture is instead the 32-bit screen copy of that size,
// resampled from the block means as they come (RowResampler): the reduced picture is not held
// either.
DecodeResult decodePngReduced(ByteSource& file, uint64_t imageData, int reduction, Picture& picture,
                              Size copy = {});
// The file's signature and every chunk but the image data, as they stand (up to 16 MB of them),
// for its metadata to be read from; returns the bytes of image data.
uint64_t readPngChunksBesideImage(ByteSource& file, std::vector<uint8_t>& chunks);
// A block's sums stay within 32 bits up to this.
inline constexpr int kLargestPngReduction = 256;
// The largest reduction for decodePngReduced whose picture still covers `atLeast`; 1 for none.
int pngReduction(Size size, Size atLeast);

// The signature and the IHDR chunk, which comes first: size, and depth as decodePng holds it
// (for which a tRNS chunk before the image data is looked for too).
DecodeResult readPngHeader(ByteSource& source, PictureHeader& header);

} // namespace vistrel
