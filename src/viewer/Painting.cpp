// The window's painting: the picture on show (its screen copy when fitted) or the start page.
#include "ViewerWindow.h"

namespace vistrel {

Picture* ViewerWindow::shownPicture() {
    CachedPicture* current = pictureOnShow();
    if (!current) return nullptr;
    // A reduced picture has only its screen copy, whatever the fit.
    const bool fitted =
        (fitToScreen_ || current->reduced()) && current->fitted && !current->fitted->empty();
    return fitted ? current->fitted.get() : current->picture.get();
}

void ViewerWindow::onPaint(Canvas& canvas) {
    // Once the first frame is drawn, the prefetch workers may have the machine too: from the
    // event loop, after this frame has gone to the display.
    if (holdingWorkers_ && windowExists()) {
        host_->setTimer(Timer::PictureArrival, 1);
        awaiting_ = true;
    }
    Picture* shown = shownPicture();
    if (!shown) {
        startPageView_.paint(canvas, window_.size());
        return;
    }
    renderer_.draw(canvas, *shown, window_.size());
}

void ViewerWindow::repaint() {
    if (!windowExists()) return;
    if (std::unique_ptr<Canvas> canvas = host_->clientCanvas()) onPaint(*canvas);
}

void ViewerWindow::zoomTo(Picture& picture, const Rect& to, bool fast) {
    // The window moves with the zoom so that the zoom's anchor (the centre for keys, the pressed
    // point for a drag) stays where it was.
    window_ = to;
    if (!windowExists()) return;
    host_->setGeometry(to, topMost_);
    renderer_.drawZoomed(picture, to.size(), fast);
}

} // namespace vistrel
