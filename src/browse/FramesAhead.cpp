#include "FramesAhead.h"

#include "DebugLog.h"
#include "DecodeLimits.h"

#include <algorithm>

namespace vistrel {

uint64_t ComposedFrame::heldBytes() const {
    uint64_t held = 0;
    for (const Picture* p : {picture.get(), fitted.get()})
        if (p && !p->empty()) held += uint64_t(p->capacity()) + kPixelSpareBytes;
    return held;
}

FramesAhead::FramesAhead(std::shared_ptr<Animation> animation, const ScreenCopyPolicy& policy,
                         uint64_t keepBytes, std::function<void()> ready)
    : animation_(std::move(animation)), policy_(policy), ready_(std::move(ready)),
      keepBytes_(keepBytes) {
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        failed_ = true; // no thread to be had: the animation stands on the frame on show
    }
}

FramesAhead::~FramesAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::unique_ptr<ComposedFrame> FramesAhead::take(int index) {
    std::unique_ptr<ComposedFrame> frame;
    std::deque<std::unique_ptr<ComposedFrame>> passed; // freed outside the lock
    {
        std::lock_guard lock(mutex_);
        if (keepAll_) {
            if (index >= 0 && std::size_t(index) < kept_.size()) frame = std::move(kept_[index]);
            // A frame the window did not give back is composed again in the next pass.
            if (!frame && composed_ >= animation_->frameCount()) composed_ = 0;
        } else {
            while (!ring_.empty() && ring_.front()->index != index) {
                passed.push_back(std::move(ring_.front()));
                ring_.pop_front();
            }
            if (!ring_.empty()) {
                frame = std::move(ring_.front());
                ring_.pop_front();
            }
        }
        if (!frame) waiting_ = !failed_;
    }
    wake_.notify_all();
    return frame;
}

void FramesAhead::giveBack(std::unique_ptr<ComposedFrame> frame) {
    std::lock_guard lock(mutex_);
    if (!keepAll_ || !frame || frame->index < 0 || std::size_t(frame->index) >= kept_.size())
        return;
    if (!kept_[std::size_t(frame->index)]) kept_[std::size_t(frame->index)] = std::move(frame);
}

uint64_t FramesAhead::heldBytes() const {
    std::lock_guard lock(mutex_);
    uint64_t held = 0;
    for (const auto& frame : ring_)
        held += frame->heldBytes();
    for (const auto& frame : kept_)
        if (frame) held += frame->heldBytes();
    return held;
}

std::size_t FramesAhead::framesHeld() const {
    std::lock_guard lock(mutex_);
    return ring_.size() + std::size_t(std::count_if(kept_.begin(), kept_.end(),
                                                    [](const auto& frame) { return bool(frame); }));
}

void FramesAhead::run() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] {
                return stop_ || (keepAll_ ? composed_ < animation_->frameCount()
                                          : ring_.size() < kRingFrames);
            });
            if (stop_) return;
        }
        auto frame = std::make_unique<ComposedFrame>();
        frame->index = animation_->position();
        frame->picture = std::make_unique<Picture>();
        const DecodeResult made = animation_->composeNext(*frame->picture);
        if (made) {
            frame->turn = turn_;
            for (int i = 0; i < frame->turn; ++i)
                frame->picture->rotateQuarter(90);
            prepareScreenCopy(*frame->picture, frame->fitted, policy_);
        }
        bool announce = false;
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            if (made) {
                if (!decided_) {
                    // The first frame tells what every frame holds: all are kept when the whole
                    // sequence fits the allowance.
                    decided_ = true;
                    const uint64_t count = uint64_t(animation_->frameCount());
                    const uint64_t bytes = frame->heldBytes();
                    keepAll_ = cappedProduct(bytes, count) <= keepBytes_;
                    if (keepAll_) kept_.resize(std::size_t(count));
                    reserved_->store(keepAll_ ? bytes * count
                                              : cappedProduct(bytes, kRingFrames + 1));
                }
                ++composed_;
                if (!keepAll_) {
                    ring_.push_back(std::move(frame));
                } else if (auto& slot = kept_[std::size_t(frame->index)]; !slot) {
                    slot = std::move(frame);
                }
            } else {
                debugLog("animation frame %d not composed: %s", frame->index, made.text());
                failed_ = true;
            }
            announce = std::exchange(waiting_, false);
        }
        if (announce) ready_();
        if (!made) return;
    }
}

} // namespace vistrel
