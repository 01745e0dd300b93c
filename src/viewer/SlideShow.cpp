// The slide show: the folder's pictures one after another at a fixed delay, once or in a loop.
#include "SlideShowSettings.h"
#include "ViewerWindow.h"

#include <algorithm>

namespace vistrel {

void ViewerWindow::StartSlideShow() {
    if (slideShowMode != 0 || !WindowExists() || modalUp_) return;
    SlideShowSettings accepted;
    modalUp_ = true;
    const bool started = host_->runSlideShowDialog(accepted.delay, accepted.loop);
    modalUp_ = false;
    // Nothing starts when the window was closed while the dialog was up.
    if (!started || !WindowExists() || slideShowMode != 0) return;
    accepted.delay = std::clamp(accepted.delay, kSlideShowMinDelay, kSlideShowMaxDelay);
    // The picture on show stays for one full delay before the first step.
    slideShowMode = SlideShowModeFor(accepted);
    host_->setTimer(TimerSlideShow, accepted.delay * 1000);
}

void ViewerWindow::StopSlideShow() {
    if (slideShowMode == 0) return;
    if (WindowExists()) host_->killTimer(TimerSlideShow);
    slideShowMode = 0;
}

void ViewerWindow::SlideShowTick() {
    if (slideShowMode == 0) return;
    if (source_->showNext()) {
        ShowCurrent();
        return;
    }
    // The end of the folder.
    if (slideShowMode == 1) {
        StopSlideShow(); // the last picture stays
        return;
    }
    // A loop starts over at the folder's first file; when that cannot be opened, the picture on
    // show stays and the show goes on.
    const std::string first = source_->folderPathAt(0);
    source_->open(first.c_str());
    ShowCurrent();
}

} // namespace vistrel
