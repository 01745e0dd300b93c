// What each key, button, wheel turn, pointer move, dropped file and timer does.
#include "DesktopCommands.h"
#include "ViewerWindow.h"

#include <cstdlib>

namespace vistrel {

namespace {

// A right click opens the menu this long after its release, unless a second click made it a
// double click (which closes the program instead).
constexpr int kRightClickDelayMs = 200;
// A right click whose cursor moved this many pixels or more, in either direction, by the time
// the menu would open is no click.
constexpr int kRightClickSlop = 8;
// A right drag starts zooming once the cursor is more than this many pixels sideways of the press.
constexpr int kRightZoomSlop = 8;
constexpr int kRightZoomPeriodMs = 10;
// Ticks of a still right-drag zoom (about 300 ms) after which the frame is drawn in quality.
constexpr int kZoomQualityTicks = 30;

} // namespace

void ViewerWindow::perform(Action action, Point pointer) {
    switch (action) {
    case Action::CloseOrStopSlideShow:
        // A running show is stopped first; only the next Esc closes.
        if (slideShow_ != SlideShow::Off)
            stopSlideShow();
        else if (host_)
            host_->postClose();
        break;
    case Action::PreviousPicture:
        stepPicture(false);
        break;
    case Action::NextPicture:
        stepPicture(true);
        break;
    case Action::ShowLeftEdge:
        moveToScreenEdge(ScreenEdge::Left);
        break;
    case Action::ShowRightEdge:
        moveToScreenEdge(ScreenEdge::Right);
        break;
    case Action::ShowTopEdge:
        moveToScreenEdge(ScreenEdge::Top);
        break;
    case Action::ShowBottomEdge:
        moveToScreenEdge(ScreenEdge::Bottom);
        break;
    case Action::ToggleFitToScreen:
        // Unlike the double click, the key neither ends a zoom nor stores the setting.
        fitToScreen_ = !fitToScreen_;
        relayout(nullptr);
        break;
    case Action::ZoomIn:
        zoomStep(true);
        break;
    case Action::ZoomOut:
        zoomStep(false);
        break;
    case Action::Paste:
        paste();
        stopSlideShow(); // also when the clipboard held no picture
        break;
    case Action::ShowStartPage:
        showStartPage();
        stopSlideShow();
        break;
    case Action::StartMove:
        // A press on one of the start page's buttons presses that button instead.
        if (startPage_ && startPageView_.press(pointer, window_.size())) break;
        startMove(pointer);
        break;
    case Action::FitToScreenAtPointer:
        if (toggleFitToScreen(pointer)) break;
        window_ = centred(window_.size(), screen());
        applyGeometry(false);
        break;
    case Action::PressRight:
        pressRight(pointer);
        break;
    case Action::CloseOnRightRelease:
        // The release that follows closes the program; the menu timer the first release started
        // sees this and opens nothing.
        gestures_.add(Gesture::RightDoubleClicked);
        break;
    case Action::ToggleKeepOnTop:
        toggleTopMost();
        break;
    case Action::TurnClockwise:
        turnByWheel(90);
        break;
    case Action::TurnCounterClockwise:
        turnByWheel(-90);
        break;
    }
}

void ViewerWindow::stepPicture(bool forward) {
    holdingWorkers_ = false;
    pictures_.setPolicy(screenCopyPolicy());
    // Never waits for a decode: a neighbour not decoded yet is shown when it lands.
    const Prefetcher::Step step = forward ? pictures_.showNext() : pictures_.showPrevious();
    if (step == Prefetcher::Step::Shown) showCurrent();
    awaitPictures();
    stopSlideShow();
}

void ViewerWindow::startMove(Point pointer) {
    gestures_.add(Gesture::Moving);
    press_ = {pointer, window_, MouseButton::Left};
    if (windowExists()) host_->captureMouse();
}

void ViewerWindow::pressRight(Point pointer) {
    press_ = {pointer, window_, MouseButton::Right};
    rightPressUsedByWheel_ = false;
    if (windowExists()) host_->captureMouse();
}

void ViewerWindow::turnByWheel(int angle) {
    if (windowExists()) host_->releaseMouse();
    rightPressUsedByWheel_ = true;
    rotateView(angle);
    stopSlideShow();
}

void ViewerWindow::onRelease(MouseButton button, Point pointer) {
    if (button == MouseButton::Right) {
        releaseRight();
        return;
    }
    if (button != MouseButton::Left) return;
    if (windowExists()) host_->releaseMouse();
    if (lock_.locked() && press_.window.topLeft() != window_.topLeft()) captureLockPlace();
    for (Gesture g : {Gesture::RightDoubleClicked, Gesture::Moving, Gesture::SkipNextMove,
                      Gesture::RightZooming})
        gestures_.remove(g);
    if (!startPage_) return;
    if (const std::optional<StartButton> clicked = startPageView_.release(pointer, window_.size()))
        clickStartButton(*clicked);
}

void ViewerWindow::releaseRight() {
    if (!host_) return;
    if (gestures_.has(Gesture::RightDoubleClicked)) {
        host_->postClose();
    } else if (gestures_.has(Gesture::RightZooming)) {
        host_->killTimer(Timer::RightZoom);
        gestures_.remove(Gesture::RightZooming);
        // The last frame was a fast one unless the quality frame of a still zoom followed it.
        CachedPicture* current = fullPictureOnShow();
        if (zoomStillTicks_ <= kZoomQualityTicks && current && windowExists())
            zoomTo(*current->picture, host_->windowRect(), false);
    } else if (!rightPressUsedByWheel_) {
        host_->setTimer(Timer::RightClick, kRightClickDelayMs);
    }
    if (windowExists()) host_->releaseMouse();
}

void ViewerWindow::onPointerMove(Point pointer, bool left, bool right, Modifiers modifiers) {
    if (gestures_.has(Gesture::Moving)) {
        if (gestures_.has(Gesture::SkipNextMove)) {
            // The move that the window's own displacement caused.
            gestures_.remove(Gesture::SkipNextMove);
            return;
        }
        // The pressed picture point follows the pointer.
        window_ = window_.movedTo(
            {window_.left + pointer.x - press_.point.x, window_.top + pointer.y - press_.point.y});
        gestures_.add(Gesture::SkipNextMove);
        applyGeometry(false);
        return;
    }
    if (modifiers.control && left && pictures_.current()) {
        dragOut();
        return;
    }
    if (startPage_) {
        startPageView_.pointerMoved(pointer, window_.size());
        return;
    }
    CachedPicture* current = pictureOnShow();
    if (!current || current->reduced() || !right || !windowExists() || !host_->hasCapture()) return;
    // Only sideways movement starts the zoom, and only for a picture smaller than the screen.
    const Rect screen = this->screen();
    if (std::abs(pointer.x - press_.point.x) > kRightZoomSlop &&
        !gestures_.has(Gesture::RightZooming) && current->width < screen.width() &&
        current->height < screen.height()) {
        zoomStillTicks_ = 0;
        gestures_.add(Gesture::RightZooming);
        zoomed_ = true;
        host_->setTimer(Timer::RightZoom, kRightZoomPeriodMs);
    }
}

void ViewerWindow::dragOut() {
    if (!desktop_ || !windowExists()) return;
    // The window would otherwise take its own picture back as a dropped file.
    host_->setAcceptDrops(false);
    DragOutPicture(*desktop_, fullCurrent());
    host_->setAcceptDrops(true);
}

void ViewerWindow::onDropFiles(const std::vector<std::string>& paths) {
    if (paths.size() != 1) return; // several files at once do nothing
    if (openFile(paths[0].c_str()) && windowExists()) host_->activate();
}

void ViewerWindow::onTimer(Timer timer) {
    switch (timer) {
    case Timer::RightClick:
        rightClickTick();
        break;
    case Timer::RightZoom:
        rightZoomTick();
        break;
    case Timer::SlideShow:
        slideShowTick();
        break;
    case Timer::PictureArrival:
        picturesArrived();
        break;
    }
}

void ViewerWindow::rightClickTick() {
    if (!windowExists()) return;
    host_->killTimer(Timer::RightClick);
    if (gestures_.has(Gesture::RightDoubleClicked)) return;
    const Point cursor = host_->cursorPosition();
    const Rect window = host_->windowRect();
    const int dx = cursor.x - window.left - press_.point.x;
    const int dy = cursor.y - window.top - press_.point.y;
    if (std::abs(dx) < kRightClickSlop && std::abs(dy) < kRightClickSlop) showContextMenu();
}

void ViewerWindow::rightZoomTick() {
    CachedPicture* current = pictureOnShow();
    if (!current || current->reduced() || !windowExists()) return;
    Picture& picture = *current->picture;
    const Size size{picture.width(), picture.height()};
    const Rect screen = this->screen();
    if (largerThan(size, screen) || press_.window.width() <= 0 || press_.window.height() <= 0)
        return;
    const Rect zoomed =
        rightDragZoom(press_.window, press_.point, host_->cursorPosition(), size, screen);
    if (host_->windowRect().size() == zoomed.size()) {
        // Still: after 30 such ticks, one frame in quality; nothing otherwise.
        if (zoomStillTicks_++ != kZoomQualityTicks) return;
        zoomTo(picture, zoomed, false);
        return;
    }
    // Every step while the size changes is a fast one, also after a quality frame.
    zoomTo(picture, zoomed, true);
    zoomStillTicks_ = 0;
}

} // namespace vistrel
