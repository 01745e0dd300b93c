// A look at a GIF file's block structure before the toolkit's reader sees it.
#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"

#include <cstddef>
#include <cstdint>

namespace vistrel {

// The header and the logical screen descriptor: the screen's size, held at 24 bits as the system
// picture decoder makes it. How many frames follow only a walk through the blocks could tell.
DecodeResult readGifHeader(ByteSource& source, PictureHeader& header);

// False when the first image of a GIF file reaches further than `maxPixels` allow: its right edge
// (left + width) times its bottom edge (top + height). Readers size their canvas by the frame as
// well as by the logical screen, so a 10-pixel screen can announce a frame of billions of pixels.
// True when the frame fits, and for files that end or break before their first image (the
// reader then fails by itself).
bool gifFirstFrameFits(const uint8_t* data, std::size_t size, uint64_t maxPixels);

// Whether the first image's LZW data can fill the picture, under the size rule of DecodeLimits.h.
// The picture is the logical screen, widened to the first image's right and bottom edges: a huge
// screen with a one-pixel frame is as costly as a huge frame. False for a file too short to hold
// a screen descriptor.
bool gifDataCanFill(const uint8_t* data, std::size_t size);

} // namespace vistrel
