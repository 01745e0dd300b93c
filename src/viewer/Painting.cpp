// The window's painting: the picture on show (its screen copy when fitted) or the start page.
#include "Platform.h"
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

void ViewerWindow::onCompositingChanged() {
    renderer_.setComposited(platform().compositing());
    // Only a translucent frame looks different with a compositor and without.
    if (!host_ || !renderer_.translucent()) return;
    Picture* shown = paintedPicture();
    const Size window = placement_.window().size();
    if (shown && !placement_.fullScreen() &&
        (shown->width() != window.width || shown->height() != window.height)) {
        // A zoomed frame is the picture resampled to the window's size.
        if (CachedPicture* current = pictureOnShow(); current && !current->reduced())
            renderer_.drawZoomed(*current->picture, window, false);
        return;
    }
    repaint();
}

} // namespace vistrel
