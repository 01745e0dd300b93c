// The frames of an animated WebP file after the first, composed by libwebp's animation decoder
// (blending and disposal as the file says) one at a time, in order.
#pragma once

#include "Animation.h"

#include <webp/demux.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vistrel {

// What the frame index of an animated file says of its frames, before any is decoded.
struct WebpSequence {
    std::vector<int> delays; // milliseconds as stored, one per frame played
    int plays = 0;           // the loop count: 0 for ever
    // Some frame may leave pixels transparent: a frame with alpha, a first frame short of the
    // canvas, a frame disposed of to the background before another is drawn.
    bool alpha = false;
};

// Reads the frames of `data`, a whole file the demuxer `demux` has accepted (a file cut short
// plays no further than its first frame), into `sequence`. The size rule holds for each frame and
// for the sequence: the frames' rectangles so far may claim no more pixels than the data of those
// frames can produce, and the sequence ends before the first frame that breaks it. `fileAlpha`:
// the file's own alpha flag.
void readWebpSequence(const uint8_t* data, std::size_t size, WebPDemuxer* demux, bool fileAlpha,
                      WebpSequence& sequence);

// The source of an animation's frames over `bytes` (the whole file, kept while it plays), each
// composed at 32 bits with `sequence.alpha`, else at 24; null for fewer than two frames.
std::shared_ptr<Animation> makeWebpFrames(std::shared_ptr<const std::vector<uint8_t>> bytes,
                                          const WebpSequence& sequence);

} // namespace vistrel
