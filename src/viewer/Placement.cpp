// Where the window stands and how large it is, applied: the arithmetic is in Layout.h, what it
// is applied to (the picture on show, the modifiers held, the settings kept) is here.
#include "Settings.h"
#include "ViewerWindow.h"

namespace vistrel {

namespace {

Size sizeOf(Picture& picture) {
    return {picture.width(), picture.height()};
}

} // namespace

void ViewerWindow::relayout(const Point* anchor, bool pasting) {
    CachedPicture* current = pictureOnShow();
    if (!current) return;
    Picture& picture = *current->picture;
    const Rect screen = this->screen();

    Modifiers keys = host_ ? host_->modifiers() : Modifiers{};
    if (pasting) keys.control = false; // the Ctrl of Ctrl+V asks for no corner to be kept
    const bool exists = windowExists();
    const bool needsTranslucency = renderer_.needsTranslucency(picture);
    const Rect before = window_;
    // The size a fit is measured against: without fit to screen the window counts as already as
    // large as the picture.
    const Rect previous =
        Rect::at(before.topLeft(), fitToScreen_ ? before.size() : sizeOf(picture));

    window_ = fitToScreen_ && largerThan(sizeOf(picture), screen)
                  ? vistrel::fitToScreen(sizeOf(picture), screen)
                  : naturalSize(sizeOf(picture), screen);

    // Changing between translucent and plain drawing at a new size would show a frame of each.
    bool hidden = false;
    if (exists && renderer_.translucent() != needsTranslucency &&
        window_.size() != previous.size()) {
        host_->hide();
        hidden = true;
    }

    if (keys.control) {
        window_ = window_.movedTo(before.topLeft());
    } else if (keys.shift) {
        const Point centre = before.centre();
        window_ =
            window_.movedTo({centre.x - window_.width() / 2, centre.y - window_.height() / 2});
    } else if (lock_.locked()) {
        window_ = placedAtLock(window_.size(), lock_);
        // A fit by double click keeps the clicked picture point under the cursor, over the lock
        // place; without a lock place the fitted window is centred.
        if (anchor && previous.width() > 0 && previous.height() > 0)
            window_ = keepingPointUnder(previous, *anchor, window_.size());
    }
    applyGeometry(true);

    if (exists) {
        repaint();
        if (hidden || !host_->isVisible()) host_->show();
    }
}

void ViewerWindow::showCurrent(bool pasting) {
    if (startPage_) startPageView_.hidden();
    startPage_ = false;
    relayout(nullptr, pasting);
    if (windowExists()) updateCaption();
}

void ViewerWindow::applyGeometry(bool withZOrder) {
    if (!windowExists()) return;
    if (withZOrder)
        host_->setGeometry(window_, topMost_);
    else
        host_->move(window_.topLeft());
}

void ViewerWindow::initialPlacement() {
    const Rect screen = this->screen();
    Size size = window_.size();
    if (CachedPicture* current = pictureOnShow()) {
        const Size picture = sizeOf(*current->picture);
        if (ReadSetting("NoneScale") >= 1)
            size = picture;
        else if (largerThan(picture, screen))
            size = vistrel::fitToScreen(picture, screen).size();
        // Otherwise the size laid out while opening stays.
    } else {
        size = startPageView_.size();
    }
    window_ = lock_.locked() ? placedAtLock(size, lock_) : centred(size, screen);
    window_ = keptOnScreen(window_, screen);
}

bool ViewerWindow::toggleFitToScreen(Point anchor) {
    fitToScreen_ = !fitToScreen_;
    bool changed = false;
    CachedPicture* current = pictureOnShow();
    if (current && (largerThan(sizeOf(*current->picture), screen()) || zoomed_)) {
        zoomed_ = false;
        changed = true;
        if (fitToScreen_) {
            relayout(&anchor);
        } else {
            // Natural size, with the picture point under the anchor kept under it.
            window_ = keepingPointUnder(window_, anchor, sizeOf(*current->picture));
            applyGeometry(true);
            if (windowExists()) repaint();
        }
    }
    WriteSetting("NoneScale", fitToScreen_ ? 0 : 1);
    return changed;
}

void ViewerWindow::zoomStep(bool zoomIn) {
    CachedPicture* current = pictureOnShow();
    if (!current) return;
    Picture& picture = *current->picture;
    // The picture's own size, so that a turned picture zooms with its turned aspect.
    const Size size = sizeOf(picture);
    const Rect screen = this->screen();
    if (size.width >= screen.width() || size.height >= screen.height()) {
        // A picture as large as the screen zooms by switching fit to screen.
        if (zoomIn == fitToScreen_) {
            fitToScreen_ = !zoomIn;
            relayout(nullptr);
        }
        return;
    }
    const Rect zoomed = vistrel::zoomStep(window_, size, zoomIn, screen);
    if (zoomed.size() == window_.size()) return;
    zoomTo(picture, zoomed, false);
    zoomed_ = true;
}

void ViewerWindow::moveToScreenEdge(ScreenEdge edge) {
    const Rect moved = movedToScreenEdge(window_, edge, screen());
    if (moved == window_) return;
    window_ = moved;
    applyGeometry(false);
}

void ViewerWindow::captureLockPlace() {
    if (!(lock_.byUser && lock_.locked())) lock_.place = lockPlaceFor(window_.centre(), screen());
    lock_.anchor = lockAnchorOf(window_, lock_.place);
    WriteSetting("LockPlace", lock_.place);
    WriteSetting("xLockPlace", lock_.anchor.x);
    WriteSetting("yLockPlace", lock_.anchor.y);
}

void ViewerWindow::toggleLockPlace() {
    if (!lock_.locked()) {
        captureLockPlace();
        return;
    }
    lock_.place = -1;
    WriteSetting("LockPlace", -1);
    lock_.byUser = false;
    WriteSetting("UserLock", 0);
}

void ViewerWindow::toggleUserLock() {
    lock_.byUser = !lock_.byUser;
    WriteSetting("UserLock", lock_.byUser ? 1 : 0);
    if (lock_.byUser) captureLockPlace();
}

void ViewerWindow::chooseLockPlace(int place) {
    if (place < 0 || place > 8) return;
    lock_.place = place;
    captureLockPlace();
}

void ViewerWindow::rotateView(int angle) {
    CachedPicture* current = pictureOnShow();
    if (!current || (angle != 90 && angle != -90)) return;
    const Rect turned = turnedAboutCentre(window_);
    window_ = window_.movedTo(turned.topLeft());
    current->rotate(angle, screenCopyPolicy());
    if (fitToScreen_ && largerThan(sizeOf(*current->picture), screen()))
        relayout(nullptr);
    else
        window_ = turned;
    applyGeometry(true);
    if (windowExists()) repaint();
}

void ViewerWindow::toggleTopMost() {
    topMost_ = !topMost_;
    if (windowExists()) host_->setTopMost(topMost_);
    WriteSetting("NoneTopMost", topMost_ ? 0 : 1);
}

} // namespace vistrel
