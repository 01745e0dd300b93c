// What each key, button, wheel turn, pointer move, dropped file and timer does.
#include "Desktop.h"
#include "DesktopCommands.h"
#include "Platform.h"
#include "ViewerWindow.h"

namespace vistrel {

namespace {

// The modifier that belongs to a key's own character, not to the placement: Ctrl+V, and "*",
// which is Shift and a digit on most keyboards.
constexpr Modifiers kControlTyping{true, false};
constexpr Modifiers kShiftTyping{false, true};

// What a click on one of the start page's buttons does: what the menu's command does.
MenuCommand commandOf(StartButton button) {
    switch (button) {
    case StartButton::Close:
        return MenuCommand::Exit;
    case StartButton::Help:
        return MenuCommand::ShowHelp;
    case StartButton::Link:
        break;
    }
    return MenuCommand::OpenHomePage;
}

} // namespace

void ViewerWindow::perform(Action action, Point pointer) {
    const Rect screen = platform().primaryScreen();
    switch (action) {
    case Action::CloseOrStopSlideShow:
        // A running show is stopped first, then full screen left; only the next Esc closes.
        if (slideShow_ != SlideShow::Off)
            stopSlideShow();
        else if (placement_.fullScreen())
            apply(placement_.setFullScreen(false));
        else if (host_)
            host_->postClose();
        break;
    case Action::PreviousPicture:
    case Action::NextPicture: {
        pictures_.setPolicy(screenCopyPolicy());
        // Never waits for a decode: a neighbour not decoded yet is shown when it lands.
        const Prefetcher::Step step =
            action == Action::NextPicture ? pictures_.showNext() : pictures_.showPrevious();
        if (step == Prefetcher::Step::Shown) showCurrent();
        stopSlideShow(); // a step stops the show either way
        break;
    }
    case Action::ShowLeftEdge:
        apply(placement_.moveToScreenEdge(ScreenEdge::Left, screen));
        break;
    case Action::ShowRightEdge:
        apply(placement_.moveToScreenEdge(ScreenEdge::Right, screen));
        break;
    case Action::ShowTopEdge:
        apply(placement_.moveToScreenEdge(ScreenEdge::Top, screen));
        break;
    case Action::ShowBottomEdge:
        apply(placement_.moveToScreenEdge(ScreenEdge::Bottom, screen));
        break;
    case Action::ToggleFitToScreen:
        // Unlike the double click, the key neither ends a zoom nor stores the setting. Shift
        // types "*" on most keyboards: it asks for no centre to be kept.
        placement_.flipFit();
        relayout(nullptr, kShiftTyping);
        break;
    case Action::ZoomIn:
    case Action::ZoomOut:
        // Its size is known without the full decode, which a reduced picture gets meanwhile.
        if (CachedPicture* shown = pictureOnShow())
            apply(placement_.zoomStep(action == Action::ZoomIn, shown->size(), screen));
        break;
    case Action::Paste: {
        ClipboardBitmap bitmap;
        if (desktop_ && desktop_->clipboardImage(bitmap) && pictures_.adopt(bitmap.description()))
            showCurrent(kControlTyping); // caption "Snapshot [WxH]"
        stopSlideShow();                 // also when the clipboard held no picture
        break;
    }
    case Action::ShowStartPage:
        startPage_ = true;
        startPageView_.reset();
        // Always centred: a lock place holds pictures, not the start page.
        placement_.centreStartPage(startPageView_.size(), screen);
        if (host_) {
            if (!renderer_.translucent()) host_->hide();
            host_->setGeometry(placement_.window(), placement_.topMost());
            repaint();
            if (!host_->isVisible()) host_->show();
        }
        stopSlideShow();
        break;
    case Action::FirstPicture:
    case Action::LastPicture: {
        pictures_.setPolicy(screenCopyPolicy());
        const Prefetcher::Step step =
            action == Action::FirstPicture ? pictures_.showFirst() : pictures_.showLast();
        if (step == Prefetcher::Step::Shown) showCurrent(kShiftTyping); // Shift types "G"
        stopSlideShow();
        break;
    }
    case Action::ToggleFullScreen:
        // A picture only: the start page keeps its own size.
        if (pictureOnShow()) apply(placement_.setFullScreen(!placement_.fullScreen()));
        break;
    case Action::CopyPicture:
        if (desktop_) CopyPicture(*desktop_, atFullResolution(pictureOnShow()));
        break;
    case Action::MoveToTrash:
        if (!desktop_ || !MoveToTrash(*desktop_, pictureOnShow())) break;
        // The picture after it is shown; until it lands (Pending), the trashed one's frame stays.
        switch (pictures_.dropShown()) {
        case Prefetcher::Step::Shown:
            showCurrent();
            break;
        case Prefetcher::Step::Pending:
            break;
        case Prefetcher::Step::None:
            perform(Action::ShowStartPage); // nothing is left
            break;
        }
        break;
    case Action::PauseAnimation:
        togglePause();
        break;
    case Action::FrameBack:
    case Action::FrameForward:
        stepFrame(action == Action::FrameBack ? -1 : 1);
        break;
    case Action::StartMove:
        // A press on one of the start page's buttons presses that button instead.
        if (startPage_ && startPageView_.press(pointer, placement_.window().size())) break;
        gestures_.pressLeft(pointer, placement_.window());
        if (host_) host_->captureMouse();
        break;
    case Action::FitToScreenAtPointer:
        if (!toggleFitToScreen(pointer)) apply(placement_.centre(screen));
        break;
    case Action::PressRight:
        gestures_.pressRight(pointer, placement_.window());
        if (host_) host_->captureMouse();
        break;
    case Action::CloseOnRightRelease:
        // The release that follows closes the program; the menu timer the first release started
        // sees this and opens nothing.
        gestures_.doubleClickRight();
        break;
    case Action::ToggleKeepOnTop: {
        const bool topMost = placement_.toggleTopMost();
        if (host_) host_->setTopMost(topMost);
        break;
    }
    case Action::TurnClockwise:
    case Action::TurnCounterClockwise:
        if (host_) host_->releaseMouse();
        gestures_.turnedByWheel();
        rotateView(action == Action::TurnClockwise ? 90 : -90);
        stopSlideShow();
        break;
    }
}

void ViewerWindow::onRelease(MouseButton button, Point pointer) {
    if (button == MouseButton::Right) {
        if (!host_) return;
        switch (gestures_.releaseRight()) {
        case PointerGestures::RightRelease::Close:
            host_->postClose();
            break;
        case PointerGestures::RightRelease::FinishZoom:
            host_->killTimer(Timer::RightZoom);
            if (atFullResolution(pictureOnShow()))
                apply(placement_.zoomTo(host_->windowRect(), false));
            break;
        case PointerGestures::RightRelease::EndZoom:
            host_->killTimer(Timer::RightZoom);
            break;
        case PointerGestures::RightRelease::MenuLater:
            host_->setTimer(Timer::RightClick, kRightClickDelayMs);
            break;
        case PointerGestures::RightRelease::Nothing:
            break;
        }
        host_->releaseMouse();
        return;
    }
    if (button != MouseButton::Left) return;
    if (host_) host_->releaseMouse();
    if (gestures_.releaseLeft(placement_.window()))
        placement_.followMove(platform().primaryScreen());
    if (!startPage_) return;
    const Size page = placement_.window().size();
    if (const std::optional<StartButton> clicked = startPageView_.release(pointer, page))
        onCommand(commandOf(*clicked));
}

void ViewerWindow::onPointerMove(Point pointer, bool left, bool right, Modifiers modifiers) {
    if (gestures_.moving()) {
        // The pressed picture point follows the pointer.
        if (const std::optional<Point> to = gestures_.dragTo(pointer, placement_.window()))
            apply(placement_.moveTo(*to));
        return;
    }
    if (modifiers.control && left && pictures_.current()) {
        if (!desktop_ || !host_) return;
        // The window would otherwise take its own picture back as a dropped file.
        host_->setAcceptDrops(false);
        // Its file, which is at full resolution; only a pasted picture (never reduced) is
        // written out.
        DragOutPicture(*desktop_, pictures_.current());
        host_->setAcceptDrops(true);
        return;
    }
    if (startPage_) {
        startPageView_.pointerMoved(pointer, placement_.window().size());
        return;
    }
    CachedPicture* current = pictureOnShow();
    if (!current || current->reduced() || !right || !host_ || !host_->hasCapture()) return;
    // The size as decoded decides, not the turned picture's.
    if (gestures_.startsZoom(pointer, {current->width, current->height},
                             platform().primaryScreen())) {
        placement_.zoomBegan();
        host_->setTimer(Timer::RightZoom, kRightZoomPeriodMs);
    }
}

void ViewerWindow::onPointerLeave() {
    if (startPage_) startPageView_.pointerLeft(placement_.window().size());
}

void ViewerWindow::onDropFiles(const std::vector<std::string>& paths) {
    if (paths.size() != 1) return; // several files at once do nothing
    if (openFile(paths[0].c_str()) && host_) host_->activate();
}

void ViewerWindow::onTimer(Timer timer) {
    if (!host_) return;
    switch (timer) {
    case Timer::RightClick:
        host_->killTimer(Timer::RightClick);
        if (gestures_.menuOpens(host_->cursorPosition(), host_->windowRect())) showContextMenu();
        break;
    case Timer::RightZoom: {
        CachedPicture* current = pictureOnShow();
        if (!current || current->reduced()) break;
        if (const std::optional<PointerGestures::ZoomFrame> frame =
                gestures_.zoomTick(host_->cursorPosition(), current->size(),
                                   platform().primaryScreen(), host_->windowRect().size()))
            apply(placement_.zoomTo(frame->to, frame->fast));
        break;
    }
    case Timer::SlideShow:
        slideShowTick();
        break;
    case Timer::Animation:
        playing_.due = true;
        nextFrameDue();
        break;
    }
}

} // namespace vistrel
