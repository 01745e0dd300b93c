#include "FramesAhead.h"

#include "DebugLog.h"

namespace vistrel {

uint64_t ComposedFrame::heldBytes() const {
    uint64_t held = 0;
    for (const Picture* p : {picture.get(), fitted.get()})
        if (p && !p->empty()) held += uint64_t(p->capacity()) + kPixelSpareBytes;
    return held;
}

FramesAhead::FramesAhead(std::shared_ptr<Animation> animation, const ScreenCopyPolicy& policy,
                         std::function<void()> ready)
    : animation_(std::move(animation)), policy_(policy), ready_(std::move(ready)) {
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

std::unique_ptr<ComposedFrame> FramesAhead::take() {
    std::unique_ptr<ComposedFrame> frame;
    {
        std::lock_guard lock(mutex_);
        if (ring_.empty()) {
            waiting_ = !failed_;
            return nullptr;
        }
        frame = std::move(ring_.front());
        ring_.pop_front();
    }
    wake_.notify_all();
    return frame;
}

uint64_t FramesAhead::heldBytes() const {
    std::lock_guard lock(mutex_);
    uint64_t held = 0;
    for (const auto& frame : ring_)
        held += frame->heldBytes();
    return held;
}

void FramesAhead::run() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || ring_.size() < kRingFrames; });
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
                ring_.push_back(std::move(frame));
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
