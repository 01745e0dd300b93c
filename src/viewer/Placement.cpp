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
    followAnimation();
}

void ViewerWindow::relayout(const Point* anchor, Modifiers typing) {
    // Its size is known without the full decode: at natural size a reduced picture shows its
    // screen copy stretched until the full decode lands (onPaint asks for it).
    CachedPicture* current = pictureOnShow();
    if (!current) return;
    Modifiers keys = host_ ? host_->modifiers() : Modifiers{};
    keys.control = keys.control && !typing.control;
    keys.shift = keys.shift && !typing.shift;
    const bool resized =
        placement_.layOut(current->size(), platform().primaryScreen(), keys, anchor);
    if (!host_) return;
    // Changing between translucent and plain drawing at a new size would show a frame of each.
    Picture* painted = paintedPicture();
    const bool needsTranslucency = painted && !placement_.fullScreen() &&
                                   renderer_.drawsTranslucent(*painted, placement_.window().size());
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
        host_->setGeometry(window, placement_.topMost());
        if (CachedPicture* shown = pictureOnShow(); shown && !shown->reduced()) {
            renderer_.drawZoomed(*shown->picture, window.size(), change == Change::ZoomFrame);
        } else if (shown && shown->fitted) {
            // The screen copy stretched at once; the full decode sharpens it when it lands.
            pictures_.wantFull();
            renderer_.drawZoomed(*shown->fitted, window.size(), change == Change::ZoomFrame);
        }
        break;
    case Change::None:
    case Change::LayOut:
        break;
    }
}

bool ViewerWindow::toggleFitToScreen(Point anchor) {
    CachedPicture* current = pictureOnShow();
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
    if (playing_.ahead && current->animation == playing_.animation)
        playing_.ahead->setTurn(current->turns());
    apply(placement_.turned(current->size(), platform().primaryScreen()));
}

} // namespace vistrel
