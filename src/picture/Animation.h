// A picture of several frames shown one after another (an animated GIF): what its decoder hands
// over beside the first frame, from which later frames are composed one at a time, in order.
#pragma once

#include "DecodeResult.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vistrel {

class ColorTransform;
class Picture;

// What the still path does to a decoded picture beside its file's metadata, done to every frame
// composed after the first so that none turns or shifts colour from the second on: the EXIF
// orientation, then the colours converted to the display's through one transform made for the
// whole animation (ColorManagement.h's targetTransform; null when they stay as they are).
struct FrameFinish {
    uint8_t orientation = 1;
    std::shared_ptr<const ColorTransform> color;
};

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
    // depth as decoded, finished as `finishFrames` says, and moves on to the next (after the
    // last, back to the first). A frame whose data breaks off is shown as far as it goes; only a
    // picture that cannot be made is refused.
    DecodeResult composeNext(Picture& frame);
    // Back to the first frame, as before any was composed.
    virtual void rewind() = 0;
    // Set once the first frame has been through the metadata step (CachedPicture), before any
    // other thread composes: every frame composed from then on is finished the same way.
    void finishFrames(FrameFinish finish) { finish_ = std::move(finish); }

protected:
    // composeNext as the format composes, before the finish.
    virtual DecodeResult compose(Picture& frame) = 0;

    std::vector<int> delays_;
    int plays_ = 1;
    int position_ = 0;

private:
    FrameFinish finish_;
};

// Copies a composing canvas (blue, green, red, alpha bytes, straight alpha, `width` pixels a row)
// into `picture`, made anew at 32 bits with `alpha`, else at 24 (the alpha bytes dropped).
DecodeResult copyCanvas(const uint8_t* canvas, int width, int height, bool alpha, Picture& picture);

// Delays under this count as kSlowedDelayMs: files that ask for "as fast as possible" were made
// for browsers, which have always played them at that pace.
inline constexpr int kShortestDelayMs = 20;
inline constexpr int kSlowedDelayMs = 100;
inline int playedDelay(int milliseconds) {
    return milliseconds < kShortestDelayMs ? kSlowedDelayMs : milliseconds;
}

} // namespace vistrel
