// Animated pictures play: each frame stays for its delay on a single-shot timer, the frames after
// the first composed ahead of their time off the window thread (FramesAhead), swapped into the
// record when their time comes, so that zoom, turns, the wallpaper and drag-out take the frame on
// show like any picture.
#include "ViewerWindow.h"

namespace vistrel {

void ViewerWindow::followAnimation() {
    CachedPicture* record = pictureOnShow();
    std::shared_ptr<Animation> animation = record ? record->animation : nullptr;
    if (animation == playing_.animation) return;
    stopAnimation();
    if (!animation || !host_) return;
    playing_.animation = animation;
    // From the frame the record shows: the composition starts again from the first and skips to
    // the one after it.
    animation->rewind();
    playing_.seek = (record->frameOnShow + 1) % animation->frameCount();
    WindowHost* host = host_;
    playing_.ahead = std::make_unique<FramesAhead>(animation, screenCopyPolicy(),
                                                   [host] { host->postArrival(); });
    // The record keeps its turns while the window shows other pictures: frames to come match.
    playing_.ahead->setTurn(record->turns());
    host_->setTimer(Timer::Animation, animation->delays()[std::size_t(record->frameOnShow)]);
}

void ViewerWindow::stopAnimation() {
    if (host_) host_->killTimer(Timer::Animation);
    playing_ = {};
}

void ViewerWindow::nextFrameDue() {
    if (host_) host_->killTimer(Timer::Animation); // one shot per frame
    CachedPicture* record = pictureOnShow();
    if (!record || record->animation != playing_.animation || !playing_.ahead) {
        stopAnimation();
        return;
    }
    if (playing_.paused && !playing_.stepping) return;
    const Animation& animation = *playing_.animation;
    std::unique_ptr<ComposedFrame> frame = playing_.ahead->take();
    while (frame && playing_.seek >= 0 && frame->index != playing_.seek)
        frame = playing_.ahead->take();
    if (!frame) return; // it lands later: the arrival brings us back
    playing_.seek = -1;
    playing_.due = false;
    playing_.stepping = false;
    showFrame(*record, *frame);
    if (playing_.paused) return;
    // The last frame ends a play; after the last play the animation stands on it.
    if (record->frameOnShow == animation.frameCount() - 1 && animation.plays() != 0 &&
        ++playing_.playsDone >= animation.plays()) {
        playing_.ahead.reset();
        return;
    }
    if (host_)
        host_->setTimer(Timer::Animation, animation.delays()[std::size_t(record->frameOnShow)]);
}

void ViewerWindow::showFrame(CachedPicture& record, ComposedFrame& frame) {
    // A frame composed before the last turn is turned here, the rest on the composing thread.
    const int missing = (record.turns() - frame.turn) & 3;
    for (int i = 0; i < missing; ++i)
        frame.picture->rotateQuarter(90);
    std::swap(record.picture, frame.picture);
    std::swap(record.fitted, frame.fitted);
    if (missing) {
        record.fitted.reset();
        record.prepareScreenCopy(screenCopyPolicy());
    }
    record.frameOnShow = frame.index;
    repaint();
}

void ViewerWindow::togglePause() {
    if (!playing_.animation) return;
    playing_.paused = !playing_.paused;
    playing_.stepping = false;
    if (playing_.paused) {
        if (host_) host_->killTimer(Timer::Animation);
        return;
    }
    // A finished animation plays again from where it stands.
    CachedPicture* record = pictureOnShow();
    if (!playing_.ahead && record) {
        playing_.animation = nullptr;
        followAnimation();
        return;
    }
    if (host_ && record)
        host_->setTimer(Timer::Animation,
                        playing_.animation->delays()[std::size_t(record->frameOnShow)]);
}

void ViewerWindow::stepFrame(int direction) {
    CachedPicture* record = pictureOnShow();
    if (!playing_.animation || !playing_.paused || !record) return;
    const int count = playing_.animation->frameCount();
    if (direction < 0 || !playing_.ahead) {
        // Frames compose in order only: back to the first, skipping to the one wanted.
        playing_.ahead.reset();
        playing_.animation->rewind();
        playing_.seek = (record->frameOnShow + count + direction) % count;
        WindowHost* host = host_;
        playing_.ahead = std::make_unique<FramesAhead>(playing_.animation, screenCopyPolicy(),
                                                       [host] { host->postArrival(); });
        playing_.ahead->setTurn(record->turns());
    }
    playing_.stepping = true;
    nextFrameDue();
}

} // namespace vistrel
