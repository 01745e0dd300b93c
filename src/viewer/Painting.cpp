// The window's painting: the picture on show (its screen copy when fitted) or the start page.
#include "ViewerWindow.h"

namespace vistrel {

Picture* ViewerWindow::shownPicture() {
    CachedPicture* current = pictureOnShow();
    if (!current) return nullptr;
    return fitToScreen_ && current->fitted && !current->fitted->empty() ? current->fitted.get()
                                                                        : current->picture.get();
}

void ViewerWindow::onPaint(Canvas& dc) {
    Picture* shown = shownPicture();
    if (!shown) {
        startPageView_.paint(dc, window_.size());
        return;
    }
    renderer_.draw(dc, *shown, window_.size());
}

void ViewerWindow::repaint() {
    if (!windowExists()) return;
    if (std::unique_ptr<Canvas> dc = host_->clientCanvas()) onPaint(*dc);
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
