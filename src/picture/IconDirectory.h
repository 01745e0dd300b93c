// Choice of one image from an ICO or CUR file's directory, as the system picture decoder makes it.
#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vistrel {

enum class IconKind { None, Icon, Cursor };

// What the first bytes say: reserved 0, then type 1 (icon) or 2 (cursor), then a non-zero count.
IconKind iconKindOf(const uint8_t* data, std::size_t size);

// Index of the directory entry closest to the standard icon size of 32x32 (|w-32| + |h-32|;
// of two sizes equally far, the larger), the deepest of equal sizes, the first of equal depths.
// -1 when the directory cannot be read.
int chooseIconImage(const uint8_t* data, std::size_t size);

// The size of the image chooseIconImage picks, from the image's own header (a bitmap's height
// halved: it counts the mask's rows too), held at 24 bits as the system picture decoder makes it.
// The image the decoder reads, and the size its reader sizes its buffers by.
DecodeResult readIconHeader(ByteSource& source, PictureHeader& header);

// Pixels of the image entry `index` points at, as the image's own header (PNG or bitmap) gives
// them, both masks of a bitmap counted; readers size their buffers by it, whatever the entry
// says. 0 when the header cannot be read.
uint64_t iconImagePixels(const uint8_t* data, std::size_t size, int index);

// The image entry `index` read straight from the file when it is an uncompressed 32-bit bitmap:
// `pixels` gets width x height 0xAARRGGBB words, top row first, not premultiplied, so that they
// are composited once, as the file holds them (a reader that premultiplies rounds every
// translucent pixel on the way). A bitmap whose fourth bytes are all 0 carries no alpha: its
// 1-bit mask says which pixels are transparent. False for any other entry (a PNG, a lower depth,
// bit fields) and for one whose colour rows the data does not hold; the caller sized-checked the
// entry before.
bool readIconBitmap32(const uint8_t* data, std::size_t size, int index, int& width, int& height,
                      std::vector<uint32_t>& pixels);

// Whether the data of the image entry `index` points at can fill what its own header announces,
// under the size rule of DecodeLimits.h: a bitmap's colour and mask rows are stored raw, a PNG's
// deflated. False when the header cannot be read.
bool iconImageFitsItsData(const uint8_t* data, std::size_t size, int index);
// The same for the image chooseIconImage picks.
bool iconDataCanFill(const uint8_t* data, std::size_t size);

} // namespace vistrel
