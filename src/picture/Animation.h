// A picture of several frames shown one after another (an animated GIF): what its decoder hands
// over beside the first frame, from which later frames are composed one at a time, in order.
#pragma once

#include "DecodeResult.h"

#include <cstdint>
#include <vector>

namespace vistrel {

class Picture;

class Animation {
public:
    virtual ~Animation() = default;

    // How long each frame stays on screen, in milliseconds, as the window uses them: delays under
    // 20 ms count as 100 ms, as browsers show them.
    const std::vector<int>& delays() const { return delays_; }
    int frameCount() const { return int(delays_.size()); }
    // How many times the whole sequence plays; 0 for ever.
    int plays() const { return plays_; }
    // The frame the next call to `composeNext` makes (0 to frameCount() - 1).
    int position() const { return position_; }

    // Composes the frame at `position()` into `frame`, a picture of the first frame's size and
    // depth, and moves on to the next (after the last, back to the first). A frame whose data
    // breaks off is shown as far as it goes; only a picture that cannot be made is refused.
    virtual DecodeResult composeNext(Picture& frame) = 0;
    // Back to the first frame, as before any was composed.
    virtual void rewind() = 0;

protected:
    std::vector<int> delays_;
    int plays_ = 1;
    int position_ = 0;
};

// Delays under this count as kSlowedDelayMs: files that ask for "as fast as possible" were made
// for browsers, which have always played them at that pace.
inline constexpr int kShortestDelayMs = 20;
inline constexpr int kSlowedDelayMs = 100;
inline int playedDelay(int milliseconds) {
    return milliseconds < kShortestDelayMs ? kSlowedDelayMs : milliseconds;
}

} // namespace vistrel
