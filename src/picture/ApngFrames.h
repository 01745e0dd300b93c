// Animated PNG: the acTL, fcTL and fdAT chunks libpng does not read. The chunks are indexed
// once; each frame's image data is decoded as a PNG of the frame's own size (the PNG reader with
// all its checks) and composed onto the canvas as its dispose and blend ops say.
#pragma once

#include "Animation.h"
#include "PictureFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vistrel {

// Whether the bytes hold an animation control chunk (acTL) before their first image data, where
// only it counts: a walk over the chunk headers up to the first IDAT, which for a still costs a
// few reads.
bool pngIsAnimated(const uint8_t* data, std::size_t size);

// An animated PNG: the first frame into `picture` (32 bits where any frame can leave a pixel
// transparent, 24 otherwise) and, for an animation of several frames, the source of the frames
// after it in `animation`. Nothing for a file whose animation chunks are missing or broken before
// the first frame: it is the still its image data holds, which decodePng reads. Frames whose
// control or data break the format's rules (a sequence number out of order, a rectangle outside
// the canvas, more pixels than their data could fill) end the sequence before them.
std::optional<DecodeResult> decodeApng(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                       Picture& picture, std::shared_ptr<Animation>* animation);

} // namespace vistrel
