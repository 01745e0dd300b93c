// The window's side of placement: which picture WindowPlacement sizes the window for, and what it
// decided carried out on the real window (geometry, translucency, the frame drawn).
#include "Platform.h"
#include "ViewerWindow.h"

namespace vistrel {

void ViewerWindow::showCurrent(Modifiers typing) {
    if (startPage_) startPageView_.hidden();
    startPage_ = false;
    relayout(nullptr, typing);
    CachedPicture* current = pictures_.current();
    if (!host_ || !current) return;
    caption_ = FormatCaption(*current);
    host_->setTitle(caption_.c_str());
}

void ViewerWindow::relayout(const Point* anchor, Modifiers typing) {
    // At natural size a reduced picture is not enough.
    CachedPicture* current =
        placement_.fitToScreen() ? pictureOnShow() : atFullResolution(pictureOnShow());
    if (!current) current = pictureOnShow();
    if (!current) return;
    Modifiers keys = host_ ? host_->modifiers() : Modifiers{};
    keys.control = keys.control && !typing.control;
    keys.shift = keys.shift && !typing.shift;
    const bool resized =
        placement_.layOut(current->size(), platform().primaryScreen(), keys, anchor);
    if (!host_) return;
    // Changing between translucent and plain drawing at a new size would show a frame of each.
    // (A reduced picture is a JPEG: never translucent.)
    const bool needsTranslucency = !current->reduced() && !placement_.fullScreen() &&
                                   renderer_.needsTranslucency(*current->picture);
    const bool hidden = renderer_.translucent() != needsTranslucency && resized;
    if (hidden) host_->hide();
    host_->setGeometry(placement_.window(), placement_.topMost());
    repaint();
    if (hidden || !host_->isVisible()) host_->show();
}

void ViewerWindow::apply(WindowPlacement::Change change, const Point* anchor) {
    using Change = WindowPlacement::Change;
    if (change == Change::LayOut) {
        relayout(anchor);
        return;
    }
    if (!host_ || change == Change::None) return;
    const Rect& window = placement_.window();
    switch (change) {
    case Change::Move:
        host_->move(window.topLeft());
        break;
    case Change::Place:
        host_->setGeometry(window, placement_.topMost());
        repaint();
        break;
    case Change::Zoom:
    case Change::ZoomFrame:
        // The zooms act on the picture on show at full resolution only.
        host_->setGeometry(window, placement_.topMost());
        if (CachedPicture* shown = pictureOnShow(); shown && !shown->reduced())
            renderer_.drawZoomed(*shown->picture, window.size(), change == Change::ZoomFrame);
        break;
    case Change::None:
    case Change::LayOut:
        break;
    }
}

bool ViewerWindow::toggleFitToScreen(Point anchor) {
    // The picture as the new fit shows it: at natural size a reduced picture is not enough.
    CachedPicture* current =
        placement_.fitToScreen() ? atFullResolution(pictureOnShow()) : pictureOnShow();
    const WindowPlacement::Change change =
        placement_.toggleFit(current ? std::optional(current->size()) : std::nullopt, anchor,
                             platform().primaryScreen());
    apply(change, &anchor);
    return change != WindowPlacement::Change::None;
}

void ViewerWindow::rotateView(int angle) {
    if (angle != 90 && angle != -90) return;
    CachedPicture* current = atFullResolution(pictureOnShow());
    if (!current) return;
    current->rotate(angle, screenCopyPolicy());
    apply(placement_.turned(current->size(), platform().primaryScreen()));
}

} // namespace vistrel
