// The slide show: the folder's pictures one after another at a fixed delay, once or in a loop.
#include "Settings.h"
#include "SlideShowSettings.h"
#include "ViewerWindow.h"

#include <algorithm>

namespace vistrel {

void ViewerWindow::startSlideShow() {
    if (slideShow_ != SlideShow::Off || !host_ || modalUp_) return;
    SlideShowSettings settings =
        SlideShowSettingsFrom(ReadSetting("SlideShowDelayTime"), ReadSetting("SlideShowLoop"));
    modalUp_ = true;
    const bool started = host_->runSlideShowDialog(settings.delay, settings.loop);
    modalUp_ = false;
    if (!started) return;
    settings.delay = std::clamp(settings.delay, kSlideShowMinDelay, kSlideShowMaxDelay);
    // "Start" keeps the values for the next show, also when the window closed meanwhile.
    WriteSetting("SlideShowDelayTime", settings.delay);
    WriteSetting("SlideShowLoop", settings.loop ? 1 : 0);
    if (!host_ || slideShow_ != SlideShow::Off) return;
    // The picture on show stays for one full delay before the first step.
    slideShow_ = settings.loop ? SlideShow::Loop : SlideShow::Once;
    host_->setTimer(Timer::SlideShow, settings.delay * 1000);
}

void ViewerWindow::stopSlideShow() {
    if (slideShow_ == SlideShow::Off) return;
    if (host_) host_->killTimer(Timer::SlideShow);
    slideShow_ = SlideShow::Off;
}

void ViewerWindow::slideShowTick() {
    if (slideShow_ == SlideShow::Off) return;
    pictures_.setPolicy(screenCopyPolicy());
    switch (pictures_.showNext()) {
    case Prefetcher::Step::Shown:
        showCurrent();
        return;
    case Prefetcher::Step::Pending: // shown when it lands
        return;
    case Prefetcher::Step::None:
        break;
    }
    // The end of the folder.
    if (slideShow_ == SlideShow::Once) {
        stopSlideShow(); // the last picture stays
        return;
    }
    // A loop starts over at the list's first picture (the command line's files stay the list);
    // when that cannot be opened, the picture on show stays and the show goes on.
    if (pictures_.showFirst() == Prefetcher::Step::Shown) showCurrent();
}

} // namespace vistrel
