// The window's painting: the picture on show (its screen copy when fitted) or the start page.
#include "Platform.h"
#include "ViewerWindow.h"

namespace vistrel {

namespace {

// Whether a window of `window`'s size shows more than the screen copy `copy` holds (a pixel more
// is what the fit's rounding may give).
bool largerThanCopy(Size window, const Picture& copy) {
    return window.width > copy.width() + 1 || window.height > copy.height() + 1;
}

} // namespace

Picture* ViewerWindow::paintedPicture() {
    CachedPicture* current = pictureOnShow();
    if (!current) return nullptr;
    const bool hasCopy = current->fitted && !current->fitted->empty();
    // A reduced picture has only its screen copy, whatever the window's size; a full one shows
    // its copy in the fitted view.
    const bool fitted =
        hasCopy &&
        (current->reduced() || (placement_.fitToScreen() &&
                                !largerThanCopy(placement_.window().size(), *current->fitted)));
    return fitted ? current->fitted.get() : current->picture.get();
}

void ViewerWindow::onPaint(Canvas& canvas) {
    // Once the first frame is drawn, the prefetch workers may have the machine too: from the
    // event loop, after this frame has gone to the display.
    if (host_ && !pictures_.decodesAhead()) host_->postArrival();
    Picture* shown = paintedPicture();
    // A reduced picture larger on the screen than its copy (at natural size, zoomed) shows the
    // copy stretched until its full decode lands and sharpens it.
    if (const CachedPicture* current = pictureOnShow();
        current && current->reduced() && shown &&
        largerThanCopy(placement_.window().size(), *shown))
        pictures_.wantFull();
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
