// A look at a GIF file's block structure before the toolkit's reader sees it.
#pragma once

#include "ByteSource.h"
#include "PictureFormat.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace vistrel {

// The block structure: the header and logical screen descriptor, then extensions and images.
inline constexpr std::size_t kGifHeaderAndScreen = 6 + 7; // "GIF89a", the screen descriptor
inline constexpr std::size_t kGifImageDescriptor =
    10; // introducer, left, top, width, height, packed
inline constexpr uint8_t kGifExtension = 0x21;
inline constexpr uint8_t kGifImageIntroducer = 0x2C;

// Bytes of a colour table announced by a packed field: bit 7 set, 3 x 2^(size + 1) bytes.
inline std::size_t gifColorTableBytes(uint8_t packed) {
    return (packed & 0x80) ? 3u * (2u << (packed & 7)) : 0;
}

// Sub-blocks from `at`: a length byte and that many bytes, up to a zero length. Returns where
// they end (at most `size`) and adds the data bytes present to `bytes`.
inline std::size_t skipGifSubBlocks(const uint8_t* data, std::size_t size, std::size_t at,
                                    uint64_t& bytes) {
    while (at < size && data[at] != 0) {
        bytes += std::min<std::size_t>(data[at], size - at - 1);
        at += std::size_t(data[at]) + 1;
    }
    return std::min(at + 1, size);
}

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
