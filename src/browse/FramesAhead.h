// The frames of the animation on show, composed ahead of their time on a thread of their own, so
// that the window thread only swaps finished pictures in when their time comes. An animation
// whose frames all fit the allowance it is given keeps them all once composed (each is composed
// once, however often it plays); a longer one keeps a short ring of frames ahead and composes the
// rest as they come.
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
#include <vector>

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
    // Frames composed ahead at most when they do not all fit: a short ring, whatever the
    // animation's length.
    static constexpr std::size_t kRingFrames = 4;

    // Starts composing `animation`'s frames from its position on. All are kept when the whole
    // sequence takes at most `keepBytes` (judged by the first frame composed). `ready` is called
    // on the composing thread when a frame lands that the window asked for (`take` found none);
    // it must only queue a call for the window thread.
    FramesAhead(std::shared_ptr<Animation> animation, const ScreenCopyPolicy& policy,
                uint64_t keepBytes, std::function<void()> ready);
    // Stops the thread, which ends after the frame it is composing (bounded by the picture size
    // rule): the window thread waits for that one frame at most.
    ~FramesAhead();
    FramesAhead(const FramesAhead&) = delete;
    FramesAhead& operator=(const FramesAhead&) = delete;

    // Frame `index`, or null when it is not composed yet (the `ready` call follows when it is)
    // or the animation could compose no more. Frames of the ring composed before it are dropped:
    // the ring runs forward only (`keepsAll` says whether an earlier frame can still come).
    std::unique_ptr<ComposedFrame> take(int index);
    // The frame the window's record showed until `take`'s frame was swapped in (its index and
    // turn set to what the record had): kept when all frames are, dropped otherwise.
    void giveBack(std::unique_ptr<ComposedFrame> frame);
    bool keepsAll() const { return keepAll_; }
    // Frames composed from now on are turned by this many clockwise quarter turns (the window's
    // turns of the picture on show); those already waiting keep theirs, which `turn` says.
    void setTurn(int quarterTurns) { turn_ = quarterTurns & 3; }
    // The bytes the frames waiting hold.
    uint64_t heldBytes() const;
    // How many frames are waiting.
    std::size_t framesHeld() const;
    // The most the frames will hold, once the first is composed (0 before): every frame but the
    // one on show when all are kept, else the ring and the frame being composed. Updated on the
    // composing thread, read by whoever counts the viewer's memory.
    std::shared_ptr<const std::atomic<uint64_t>> reservation() const { return reserved_; }

private:
    void run();

    std::shared_ptr<Animation> animation_;
    const ScreenCopyPolicy policy_;
    const std::function<void()> ready_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    const uint64_t keepBytes_;
    std::deque<std::unique_ptr<ComposedFrame>> ring_;
    // When all are kept: by index, null where the frame is on show or not composed yet.
    std::vector<std::unique_ptr<ComposedFrame>> kept_;
    std::atomic<bool> keepAll_{false};
    bool decided_ = false; // keepAll_ is settled (after the first frame)
    int composed_ = 0;     // frames composed since the start
    const std::shared_ptr<std::atomic<uint64_t>> reserved_ =
        std::make_shared<std::atomic<uint64_t>>(0);
    bool stop_ = false;
    bool failed_ = false;
    bool waiting_ = false; // the window found the ring empty
    std::atomic<int> turn_{0};
    std::thread thread_;
};

} // namespace vistrel
