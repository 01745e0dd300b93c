// GIF, still and animated: the blocks are indexed once, each frame's LZW data decoded and
// composed onto the logical screen as the file says (disposal, transparency, frame rectangles).
#pragma once

#include "Animation.h"
#include "PictureFormat.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vistrel {

// Decodes the first frame into `picture` (24 bits, or 32 where any frame leaves pixels
// transparent); a file of several frames also hands over, in `animation`, the source of the
// frames after it. The picture is the logical screen, widened to the first frame's right and
// bottom edges; later frames are clipped to it.
DecodeResult decodeGif(std::shared_ptr<const std::vector<uint8_t>> bytes, Picture& picture,
                       std::shared_ptr<Animation>* animation);
// The format table's decoder: the file read whole, the animation in `metadata`.
DecodeResult decodeGif(const char* path, Picture& picture, PictureMetadata& metadata);

} // namespace vistrel
