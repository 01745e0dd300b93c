// The frames of the animation on show, composed ahead of their time on a thread of their own, so
// that the window thread only swaps finished pictures in when their time comes.
#pragma once

#include "Animation.h"
#include "Picture.h"
#include "Scaling.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vistrel {

// One composed frame, with its screen copy when the picture gets one.
struct ComposedFrame {
    int index = 0;
    int turn = 0; // clockwise quarter turns applied, 0 to 3
    std::unique_ptr<Picture> picture;
    std::unique_ptr<Picture> fitted;
    uint64_t heldBytes() const;
};

class FramesAhead {
public:
    // Frames composed ahead at most: a short ring, whatever the animation's length.
    static constexpr std::size_t kRingFrames = 4;

    // Starts composing `animation`'s frames from its position on. `ready` is called on the
    // composing thread when a frame lands that the window asked for (`take` found none); it must
    // only queue a call for the window thread.
    FramesAhead(std::shared_ptr<Animation> animation, const ScreenCopyPolicy& policy,
                std::function<void()> ready);
    // Stops the thread, which ends after the frame it is composing (bounded by the picture size
    // rule): the window thread waits for that one frame at most.
    ~FramesAhead();
    FramesAhead(const FramesAhead&) = delete;
    FramesAhead& operator=(const FramesAhead&) = delete;

    // The next frame in order, or null when it is not composed yet (the `ready` call follows when
    // it is) or the animation could compose no more.
    std::unique_ptr<ComposedFrame> take();
    // Frames composed from now on are turned by this many clockwise quarter turns (the window's
    // turns of the picture on show); those already waiting keep theirs, which `turn` says.
    void setTurn(int quarterTurns) { turn_ = quarterTurns & 3; }
    // The bytes the frames waiting in the ring hold.
    uint64_t heldBytes() const;

private:
    void run();

    std::shared_ptr<Animation> animation_;
    const ScreenCopyPolicy policy_;
    const std::function<void()> ready_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::unique_ptr<ComposedFrame>> ring_;
    bool stop_ = false;
    bool failed_ = false;
    bool waiting_ = false; // the window found the ring empty
    std::atomic<int> turn_{0};
    std::thread thread_;
};

} // namespace vistrel
