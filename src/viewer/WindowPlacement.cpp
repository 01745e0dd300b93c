#include "WindowPlacement.h"

#include "Settings.h"

namespace vistrel {

void WindowPlacement::readSettings() {
    if (ReadSetting("NoneScale") == 1) fitToScreen_ = false;
    const int32_t place = ReadSetting("LockPlace");
    // A stored place beyond the nine anchors is not a lock place.
    if (place >= 0 && place <= 8) {
        lock_.place = place;
        lock_.anchor = {ReadSetting("xLockPlace"), ReadSetting("yLockPlace")};
        lock_.byUser = ReadSetting("UserLock") > 0;
    }
}

Size WindowPlacement::sizeAtCreation(Size picture, const Rect& screen) const {
    if (ReadSetting("NoneScale") >= 1) return picture;
    if (largerThan(picture, screen)) return vistrel::fitToScreen(picture, screen).size();
    return window_.size();
}

Size WindowPlacement::sizeAhead(Size picture, const Rect& screen) const {
    // Laid out, a picture no larger than the screen is at its own size.
    return largerThan(picture, screen) ? sizeAtCreation(picture, screen) : picture;
}

void WindowPlacement::placeAtCreation(Size size, const Rect& screen) {
    window_ = placedAtCreation(size, screen);
    topMost_ = topMostAtCreation();
}

Rect WindowPlacement::placedAtCreation(Size size, const Rect& screen) const {
    return keptOnScreen(lock_.locked() ? placedAtLock(size, lock_) : centred(size, screen), screen);
}

bool WindowPlacement::topMostAtCreation() const {
    return topMost_ && ReadSetting("NoneTopMost") != 1;
}

bool WindowPlacement::layOut(Size picture, const Rect& screen, Modifiers keys,
                             const Point* anchor) {
    const Rect before = window_;
    if (fullScreen_) {
        window_ = screen;
        return window_.size() != before.size();
    }
    // The size a fit is measured against: without fit to screen the window counts as already as
    // large as the picture.
    const Rect previous = Rect::at(before.topLeft(), fitToScreen_ ? before.size() : picture);
    window_ = fitToScreen_ && largerThan(picture, screen) ? vistrel::fitToScreen(picture, screen)
                                                          : naturalSize(picture, screen);
    const bool resized = window_.size() != previous.size();
    if (keys.control || keys.shift) {
        const Point centre = before.centre();
        window_ = window_.movedTo(
            keys.control ? before.topLeft()
                         : Point{centre.x - window_.width() / 2, centre.y - window_.height() / 2});
        // A corner or centre kept from a window larger than the screen may leave a small one
        // far off it.
        window_ = broughtOnScreen(window_, screen);
    } else if (lock_.locked()) {
        window_ = placedAtLock(window_.size(), lock_);
        // A fit by double click keeps the clicked picture point under the cursor, over the lock
        // place; without a lock place the fitted window is centred.
        if (anchor && previous.width() > 0 && previous.height() > 0)
            window_ = keepingPointUnder(previous, *anchor, window_.size());
    }
    return resized;
}

void WindowPlacement::centreStartPage(Size page, const Rect& screen) {
    fullScreen_ = false; // the page is a window of its own size
    window_ = centred(page, screen);
}

WindowPlacement::Change WindowPlacement::setFullScreen(bool on) {
    if (on == fullScreen_) return Change::None;
    fullScreen_ = on;
    return Change::LayOut;
}

WindowPlacement::Change WindowPlacement::flipFit() {
    fitToScreen_ = !fitToScreen_;
    return Change::LayOut;
}

WindowPlacement::Change WindowPlacement::toggleFit(std::optional<Size> picture, Point anchor,
                                                   const Rect& screen) {
    fitToScreen_ = !fitToScreen_;
    WriteSetting("NoneScale", fitToScreen_ ? 0 : 1);
    if (!picture || !(largerThan(*picture, screen) || zoomed_)) return Change::None;
    zoomed_ = false;
    if (fitToScreen_) return Change::LayOut;
    // Natural size, with the picture point under the anchor kept under it.
    window_ = keepingPointUnder(window_, anchor, *picture);
    return Change::Place;
}

WindowPlacement::Change WindowPlacement::zoomStep(bool zoomIn, Size picture, const Rect& screen) {
    if (fullScreen_) return Change::None;
    if (picture.width >= screen.width() || picture.height >= screen.height()) {
        // A picture as large as the screen zooms by switching fit to screen.
        if (zoomIn != fitToScreen_) return Change::None;
        fitToScreen_ = !zoomIn;
        return Change::LayOut;
    }
    const Rect zoomed = vistrel::zoomStep(window_, picture, zoomIn, screen);
    if (zoomed.size() == window_.size()) return Change::None;
    window_ = zoomed;
    zoomed_ = true;
    return Change::Zoom;
}

WindowPlacement::Change WindowPlacement::zoomTo(const Rect& to, bool fast) {
    if (fullScreen_) return Change::None;
    // The window moves with the zoom so that the zoom's anchor (the centre for keys, the pressed
    // point for a drag) stays where it was.
    window_ = to;
    return fast ? Change::ZoomFrame : Change::Zoom;
}

WindowPlacement::Change WindowPlacement::turned(Size turned, const Rect& screen) {
    if (fullScreen_) return Change::LayOut; // the turned picture fitted anew
    const Rect about = turnedAboutCentre(window_);
    window_ = window_.movedTo(about.topLeft());
    if (fitToScreen_ && largerThan(turned, screen)) return Change::LayOut;
    window_ = about;
    return Change::Place;
}

WindowPlacement::Change WindowPlacement::moveTo(Point topLeft) {
    if (fullScreen_) return Change::None;
    window_ = window_.movedTo(topLeft);
    return Change::Move;
}

WindowPlacement::Change WindowPlacement::centre(const Rect& screen) {
    if (fullScreen_) return Change::None;
    window_ = centred(window_.size(), screen);
    return Change::Move;
}

WindowPlacement::Change WindowPlacement::moveToScreenEdge(ScreenEdge edge, const Rect& screen) {
    if (fullScreen_) return Change::None;
    const Rect moved = movedToScreenEdge(window_, edge, screen);
    if (moved == window_) return Change::None;
    window_ = moved;
    return Change::Move;
}

void WindowPlacement::followMove(const Rect& screen) {
    if (lock_.locked()) captureLockPlace(screen);
}

void WindowPlacement::captureLockPlace(const Rect& screen) {
    if (!(lock_.byUser && lock_.locked())) lock_.place = lockPlaceFor(window_.centre(), screen);
    lock_.anchor = lockAnchorOf(window_, lock_.place);
    WriteSetting("LockPlace", lock_.place);
    WriteSetting("xLockPlace", lock_.anchor.x);
    WriteSetting("yLockPlace", lock_.anchor.y);
}

void WindowPlacement::toggleLockPlace(const Rect& screen) {
    if (!lock_.locked()) {
        captureLockPlace(screen);
        return;
    }
    lock_.place = -1;
    WriteSetting("LockPlace", -1);
    lock_.byUser = false;
    WriteSetting("UserLock", 0);
}

void WindowPlacement::toggleUserLock(const Rect& screen) {
    lock_.byUser = !lock_.byUser;
    WriteSetting("UserLock", lock_.byUser ? 1 : 0);
    if (lock_.byUser) captureLockPlace(screen);
}

void WindowPlacement::chooseLockPlace(int place, const Rect& screen) {
    if (place < 0 || place > 8) return;
    lock_.place = place;
    captureLockPlace(screen);
}

bool WindowPlacement::toggleTopMost() {
    topMost_ = !topMost_;
    WriteSetting("NoneTopMost", topMost_ ? 0 : 1);
    return topMost_;
}

} // namespace vistrel
