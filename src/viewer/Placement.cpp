// Where the window stands and how large it is: fit to screen, lock places, zoom steps, moves.
// The screen is the primary screen's full size, read anew each time; divisions truncate toward
// zero.
#include "Platform.h"
#include "Settings.h"
#include "ViewerWindow.h"

#include <algorithm>
#include <utility>

namespace vistrel {

namespace {

// The size of a w x h picture reduced to the screen, keeping its aspect; the aspects compare in
// 10-bit fixed point.
struct Fitted {
    int width, height, x, y;
};

Fitted FitToScreenSize(int w, int h, ScreenSize screen) {
    const int screenAspect = (screen.width * 1024) / screen.height;
    const int pictureAspect = int((int64_t(w) * 1024) / h);
    if (screenAspect >= pictureAspect) {
        const int width = int(((int64_t(w) * 1024) * screen.height / h) >> 10);
        return {width, screen.height, (screen.width - width) >> 1, 0};
    }
    const int height = int(((int64_t(h) * 1024) * screen.width / w) >> 10);
    return {screen.width, height, 0, (screen.height - height) >> 1};
}

bool LargerThan(const Picture& picture, ScreenSize screen) {
    return picture.width() > screen.width || picture.height() > screen.height;
}

} // namespace

void ViewerWindow::ComputeLayout() {
    CachedPicture* current = PictureOnShow();
    if (!current) return;
    const int w = current->picture->width(), h = current->picture->height();
    const ScreenSize screen = screenSize();
    if ((flags & FitToScreen) && (w > screen.width || h > screen.height)) {
        const Fitted fit = FitToScreenSize(w, h, screen);
        windowWidth = fit.width;
        windowHeight = fit.height;
        windowX = fit.x;
        windowY = fit.y;
        return;
    }
    windowWidth = w;
    windowHeight = h;
    // A big picture at natural size starts at the screen's top-left and runs off to the right
    // and bottom.
    windowX = std::max(0, (screen.width - w) / 2);
    windowY = std::max(0, (screen.height - h) / 2);
}

void ViewerWindow::Relayout(const Point* anchor) {
    CachedPicture* current = PictureOnShow();
    if (!current) return;
    Picture& picture = *current->picture;

    const unsigned keys = host_ ? host_->keyState() : 0;
    const bool keepTopLeft = (keys & KeyControl) && !(keys & KeyV); // Ctrl+V is a paste
    const bool keepCentre = (keys & KeyShift) != 0;
    const bool exists = WindowExists();
    const bool needsAlpha = NeedsAlphaComposition(picture);

    const Point reference = keepCentre
                                ? Point{windowX + windowWidth / 2, windowY + windowHeight / 2}
                                : Point{windowX, windowY};
    const Point anchorOnScreen = anchor ? Point{windowX + anchor->x, windowY + anchor->y} : Point{};

    if (!(flags & FitToScreen)) {
        windowWidth = picture.width();
        windowHeight = picture.height();
    } else if (exists && !presenter_) {
        presenter_ = CreatePresenter(host_);
    }
    const int previousWidth = windowWidth, previousHeight = windowHeight;
    ComputeLayout();

    // Changing between layered and plain drawing at a new size would show a frame of each.
    bool hidden = false;
    if (exists && layered != needsAlpha &&
        (windowWidth != previousWidth || windowHeight != previousHeight)) {
        host_->hide();
        hidden = true;
    }

    if (keepTopLeft) {
        windowX = reference.x;
        windowY = reference.y;
    } else if (keepCentre) {
        windowX = reference.x - windowWidth / 2;
        windowY = reference.y - windowHeight / 2;
    } else {
        ApplyLockPlace();
        // A fit by double click keeps the clicked picture point under the cursor, over the lock
        // place; without a lock place the fitted window is centred.
        if (anchor && lockPlace >= 0 && previousWidth > 0 && previousHeight > 0) {
            windowX = anchorOnScreen.x - int(int64_t(anchor->x) * windowWidth / previousWidth);
            windowY = anchorOnScreen.y - int(int64_t(anchor->y) * windowHeight / previousHeight);
        }
    }
    MoveWindowTo(true);

    if (exists) {
        Repaint();
        if (hidden || !host_->isVisible()) host_->show();
    }
}

void ViewerWindow::ShowCurrent() {
    startPage = false;
    Relayout(nullptr);
    if (WindowExists()) UpdateCaption();
}

void ViewerWindow::MoveWindowTo(bool withZOrder) {
    if (!WindowExists()) return;
    if (withZOrder)
        host_->setGeometry(windowX, windowY, windowWidth, windowHeight, (flags & TopMost) != 0);
    else
        host_->move(windowX, windowY);
}

void ViewerWindow::InitialPlacement() {
    const ScreenSize screen = screenSize();
    if (CachedPicture* current = PictureOnShow()) {
        const int w = current->picture->width(), h = current->picture->height();
        if (ReadSetting("NoneScale") >= 1) {
            windowWidth = w;
            windowHeight = h;
        } else if (w > screen.width || h > screen.height) {
            const Fitted fit = FitToScreenSize(w, h, screen);
            windowWidth = fit.width;
            windowHeight = fit.height;
        }
        // Otherwise the size laid out while opening stays.
    } else {
        // A skin background, once the start page has one, gives the size instead.
        windowWidth = StartPageWidth();
        windowHeight = StartPageHeight();
    }
    if (lockPlace < 0) {
        windowX = (screen.width - windowWidth) / 2;
        windowY = (screen.height - windowHeight) / 2;
    } else {
        ApplyLockPlace();
    }
    // A window larger than the screen ends at the screen's right or bottom edge.
    windowX = std::max(0, windowX);
    windowY = std::max(0, windowY);
    if (windowX + windowWidth > screen.width) windowX = screen.width - windowWidth;
    if (windowY + windowHeight > screen.height) windowY = screen.height - windowHeight;
}

bool ViewerWindow::ToggleFitToScreen(Point anchor) {
    flags ^= FitToScreen;
    bool changed = false;
    CachedPicture* current = PictureOnShow();
    const ScreenSize screen = screenSize();
    if (current && (LargerThan(*current->picture, screen) || (flags & Zoomed))) {
        flags &= ~Zoomed;
        changed = true;
        if (flags & FitToScreen) {
            Relayout(&anchor);
        } else {
            // Natural size, with the picture point under the anchor kept under it.
            const int w = current->picture->width(), h = current->picture->height();
            const Point onScreen{windowX + anchor.x, windowY + anchor.y};
            if (windowWidth > 0 && windowHeight > 0) {
                windowX = onScreen.x - int(int64_t(anchor.x) * w / windowWidth);
                windowY = onScreen.y - int(int64_t(anchor.y) * h / windowHeight);
            }
            windowWidth = w;
            windowHeight = h;
            MoveWindowTo(true);
            if (WindowExists()) Repaint();
        }
    }
    WriteSetting("NoneScale", (flags & FitToScreen) ? 0 : 1);
    return changed;
}

void ViewerWindow::ZoomStep(bool zoomIn) {
    CachedPicture* current = PictureOnShow();
    if (!current) return;
    Picture& picture = *current->picture;
    // The picture's own size, so that a turned picture zooms with its turned aspect.
    const int w = picture.width(), h = picture.height();
    const ScreenSize screen = screenSize();
    if (w >= screen.width || h >= screen.height) {
        // A picture as large as the screen zooms by switching fit to screen.
        if (!zoomIn && !(flags & FitToScreen)) {
            flags |= FitToScreen;
            Relayout(nullptr);
        } else if (zoomIn && (flags & FitToScreen)) {
            flags &= ~FitToScreen;
            Relayout(nullptr);
        }
        return;
    }
    int newWidth, newHeight;
    if (zoomIn) {
        newWidth = std::min(screen.width, windowWidth + windowWidth / 10);
        newHeight = int(int64_t(h) * newWidth / w);
        if (newHeight > screen.height) {
            newHeight = screen.height;
            newWidth = int(int64_t(w) * screen.height / h);
        }
    } else {
        newWidth = std::max(32, windowWidth - windowWidth / 10);
        newHeight = int(int64_t(h) * newWidth / w);
        if (newHeight < 32) {
            newHeight = 32;
            newWidth = int(int64_t(w) * 32 / h);
        }
    }
    if (newWidth == windowWidth && newHeight == windowHeight) return;
    const Point centre{windowX + windowWidth / 2, windowY + windowHeight / 2};
    ZoomTo(picture, centre.x - newWidth / 2, centre.y - newHeight / 2, newWidth, newHeight, false);
    flags |= Zoomed;
}

bool ViewerWindow::ComputeRightZoom(Point cursor, Rect& zoomed) {
    CachedPicture* current = PictureOnShow();
    if (!current || pressWindowWidth <= 0 || pressWindowHeight <= 0) return false;
    const int w = current->picture->width(), h = current->picture->height();
    const ScreenSize screen = screenSize();
    if (w > screen.width || h > screen.height) return false;
    // Twice as fast as the mouse: the window grows on both sides of the pressed point.
    const int pressX = pressWindowX + pressPointX;
    int newWidth = std::clamp(pressWindowWidth + 2 * (cursor.x - pressX), 32, screen.width);
    int newHeight = int(int64_t(h) * newWidth / w);
    if (newHeight > screen.height || newHeight < 32) {
        newHeight = newHeight > screen.height ? screen.height : 32;
        newWidth = int(int64_t(w) * newHeight / h);
    }
    const int x =
        pressPointX - int(int64_t(pressPointX) * newWidth / pressWindowWidth) + pressWindowX;
    const int y =
        pressWindowY + pressPointY - int(int64_t(pressPointY) * newHeight / pressWindowHeight);
    zoomed = {x, y, x + newWidth, y + newHeight};
    return true;
}

bool ViewerWindow::MoveToScreenEdge(int key) {
    const ScreenSize screen = screenSize();
    const int oldX = windowX, oldY = windowY;
    switch (key) {
    case VkHome:
        if (windowWidth > screen.width || windowX < 0) windowX = 0;
        break;
    case VkEnd:
        if (windowWidth > screen.width || windowX + windowWidth > screen.width)
            windowX = screen.width - windowWidth;
        break;
    case VkPageUp:
        if (windowHeight > screen.height || windowY < 0) windowY = 0;
        break;
    case VkPageDown:
        if (windowHeight > screen.height || windowY + windowHeight > screen.height)
            windowY = screen.height - windowHeight;
        break;
    default:
        return false;
    }
    if (windowX == oldX && windowY == oldY) return false;
    MoveWindowTo(false);
    return true;
}

Point ViewerWindow::LockAnchorOf(int place) const {
    const int column = place % 3, row = place / 3;
    const int x = column == 0   ? windowX
                  : column == 1 ? windowX + windowWidth / 2
                                : windowX + windowWidth;
    const int y = row == 0   ? windowY
                  : row == 1 ? windowY + windowHeight / 2
                             : windowY + windowHeight;
    return {x, y};
}

void ViewerWindow::CaptureLockPlace() {
    const ScreenSize screen = screenSize();
    const Point centre{windowX + windowWidth / 2, windowY + windowHeight / 2};
    auto third = [](int c, int size) { return c < size / 3 ? 0 : c > (2 * size) / 3 ? 2 : 1; };
    if (!(userLock && lockPlace >= 0 && lockPlace <= 8))
        lockPlace = third(centre.x, screen.width) + 3 * third(centre.y, screen.height);
    const Point anchor = LockAnchorOf(lockPlace);
    lockAnchorX = anchor.x;
    lockAnchorY = anchor.y;
    WriteSetting("LockPlace", lockPlace);
    WriteSetting("xLockPlace", lockAnchorX);
    WriteSetting("yLockPlace", lockAnchorY);
}

void ViewerWindow::ApplyLockPlace() {
    if (lockPlace < 0 || lockPlace > 8) return;
    const int column = lockPlace % 3, row = lockPlace / 3;
    windowX = column == 0   ? lockAnchorX
              : column == 1 ? lockAnchorX - windowWidth / 2
                            : lockAnchorX - windowWidth;
    windowY = row == 0   ? lockAnchorY
              : row == 1 ? lockAnchorY - windowHeight / 2
                         : lockAnchorY - windowHeight;
}

void ViewerWindow::ToggleLockPlace() {
    if (lockPlace < 0) {
        CaptureLockPlace();
        return;
    }
    lockPlace = -1;
    WriteSetting("LockPlace", -1);
    userLock = false;
    WriteSetting("UserLock", 0);
}

void ViewerWindow::ToggleUserLock() {
    userLock = !userLock;
    WriteSetting("UserLock", userLock ? 1 : 0);
    if (userLock) CaptureLockPlace();
}

void ViewerWindow::ChooseLockPlace(int place) {
    if (place < 0 || place > 8) return;
    lockPlace = place;
    CaptureLockPlace();
}

void ViewerWindow::RotateView(int angle) {
    CachedPicture* current = PictureOnShow();
    if (!current || (angle != 90 && angle != -90)) return;
    const Point centre{windowX + windowWidth / 2, windowY + windowHeight / 2};
    windowX = centre.x - windowHeight / 2;
    windowY = centre.y - windowWidth / 2;
    current->rotate(angle);
    if ((flags & FitToScreen) && LargerThan(*current->picture, screenSize()))
        Relayout(nullptr);
    else
        std::swap(windowWidth, windowHeight);
    MoveWindowTo(true);
    if (WindowExists()) Repaint();
}

} // namespace vistrel
