// The window's painting: the picture on show (its screen copy when fitted) or the start page.
#include "ViewerWindow.h"

namespace vistrel {

Picture* ViewerWindow::paintedPicture() {
    CachedPicture* current = pictureOnShow();
    if (!current) return nullptr;
    // A reduced picture has only its screen copy, whatever the fit.
    const bool fitted = (placement_.fitToScreen() || current->reduced()) && current->fitted &&
                        !current->fitted->empty();
    return fitted ? current->fitted.get() : current->picture.get();
}

void ViewerWindow::onPaint(Canvas& canvas) {
    // Once the first frame is drawn, the prefetch workers may have the machine too: from the
    // event loop, after this frame has gone to the display.
    if (host_ && !pictures_.decodesAhead()) host_->postArrival();
    Picture* shown = paintedPicture();
    if (!shown) {
        startPageView_.paint(canvas, placement_.window().size());
        return;
    }
    if (placement_.fullScreen())
        renderer_.drawFullScreen(canvas, *shown, placement_.window().size());
    else
        renderer_.draw(canvas, *shown, placement_.window().size());
}

void ViewerWindow::repaint() {
    if (!host_) return;
    if (std::unique_ptr<Canvas> canvas = host_->clientCanvas()) onPaint(*canvas);
}

} // namespace vistrel
