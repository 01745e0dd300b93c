// Keys, mouse buttons, the wheel, dropped files and the window's timers: what each one does.
#include "DesktopCommands.h"
#include "Platform.h"
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

void ViewerWindow::OnKeyDown(int key) {
    switch (key) {
    case VkEscape:
        // A running show is stopped first; only the next Esc closes.
        if (slideShowMode != 0)
            StopSlideShow();
        else if (host_)
            host_->postClose();
        break;
    case VkPageUp:
    case VkPageDown:
    case VkEnd:
    case VkHome:
        MoveToScreenEdge(key);
        break;
    case VkLeft:
    case VkUp:
        StepPicture(false);
        break;
    case VkRight:
    case VkDown:
        StepPicture(true);
        break;
    case Vk8:
    case VkMultiply:
        // Unlike the double click, the key neither ends a zoom nor stores the setting.
        flags ^= FitToScreen;
        Relayout(nullptr);
        break;
    case VkV:
        if (host_ && (host_->keyState() & KeyControl)) {
            Paste();
            StopSlideShow(); // also when the clipboard held no picture
        }
        break;
    case VkAdd:
    case VkOemPlus:
        ZoomStep(true);
        break;
    case VkSubtract:
    case VkOemMinus:
        ZoomStep(false);
        break;
    default:
        break;
    }
}

void ViewerWindow::StepPicture(bool forward) {
    if (forward ? source_->showNext() : source_->showPrevious()) ShowCurrent();
    StopSlideShow();
}

void ViewerWindow::OnHelp() {
    ShowStartPage();
    StopSlideShow();
}

void ViewerWindow::OnLButtonDown(unsigned mouse, Point point) {
    if (mouse & MkControl) return; // Ctrl + left drag offers the picture as a file instead
    flags |= Dragging;
    pressPointX = windowX + point.x;
    pressPointY = windowY + point.y;
    pressWindowX = windowX;
    pressWindowY = windowY;
    if (WindowExists()) host_->captureMouse();
}

void ViewerWindow::OnLButtonUp(unsigned, Point) {
    if (WindowExists()) host_->releaseMouse();
    if (lockPlace >= 0 && (pressWindowX != windowX || pressWindowY != windowY)) CaptureLockPlace();
    flags &= ~(RightDoubleClicked | Dragging | SkipNextMove | RightZooming);
}

void ViewerWindow::OnLButtonDblClk(unsigned, Point point) {
    if (ToggleFitToScreen(point)) return;
    const ScreenSize screen = screenSize();
    windowX = (screen.width - windowWidth) / 2;
    windowY = (screen.height - windowHeight) / 2;
    MoveWindowTo(false);
}

void ViewerWindow::OnMouseMove(unsigned mouse, Point point) {
    if (flags & Dragging) {
        if (flags & SkipNextMove) {
            // The move that the window's own displacement caused.
            flags &= ~SkipNextMove;
            return;
        }
        windowX = pressWindowX + (windowX + point.x - pressPointX);
        windowY = pressWindowY + (windowY + point.y - pressPointY);
        flags |= SkipNextMove;
        MoveWindowTo(false);
        return;
    }
    if ((mouse & MkControl) && (mouse & MkLButton) && source_->current()) {
        DragOut();
        return;
    }
    CachedPicture* current = PictureOnShow();
    if (!current || !(mouse & MkRButton) || !WindowExists() || !host_->hasCapture()) return;
    // Only sideways movement starts the zoom, and only for a picture smaller than the screen.
    const ScreenSize screen = screenSize();
    if (std::abs(point.x - pressPointX) > kRightZoomSlop && !(flags & RightZooming) &&
        current->width < screen.width && current->height < screen.height) {
        zoomStillTicks = 0;
        flags |= RightZooming | Zoomed;
        host_->setTimer(TimerRightZoom, kRightZoomPeriodMs);
    }
}

void ViewerWindow::DragOut() {
    if (!desktop_ || !WindowExists()) return;
    // The window would otherwise take its own picture back as a dropped file.
    host_->setAcceptDrops(false);
    DragOutPicture(*desktop_, source_->current());
    host_->setAcceptDrops(true);
}

void ViewerWindow::OnRButtonDown(unsigned, Point point) {
    pressPointX = point.x;
    pressPointY = point.y;
    pressWindowX = windowX;
    pressWindowY = windowY;
    pressWindowWidth = windowWidth;
    pressWindowHeight = windowHeight;
    rightPressUsedByWheel_ = false;
    if (WindowExists()) host_->captureMouse();
}

void ViewerWindow::OnRButtonUp(unsigned, Point) {
    if (!host_) return;
    if (flags & RightDoubleClicked) {
        host_->postClose();
    } else if (flags & RightZooming) {
        host_->killTimer(TimerRightZoom);
        flags &= ~RightZooming;
        // The last frame was a fast one unless the quality frame of a still zoom followed it.
        CachedPicture* current = PictureOnShow();
        if (zoomStillTicks <= kZoomQualityTicks && current && WindowExists()) {
            const Rect present = host_->windowRect();
            ZoomTo(*current->picture, present.left, present.top, present.width(), present.height(),
                   false);
        }
    } else if (!rightPressUsedByWheel_) {
        host_->setTimer(TimerRightClick, kRightClickDelayMs);
    }
    if (WindowExists()) host_->releaseMouse();
}

void ViewerWindow::OnRButtonDblClk(unsigned, Point) {
    // The release that follows closes the program; the menu timer the first release started
    // sees this and opens nothing.
    flags |= RightDoubleClicked;
}

void ViewerWindow::OnMButtonDown(unsigned, Point) {
    ToggleTopMost();
}

void ViewerWindow::OnMouseWheel(unsigned mouse, int delta) {
    if (mouse & MkRButton) {
        if (WindowExists()) host_->releaseMouse();
        rightPressUsedByWheel_ = true;
        RotateView(delta >= 0 ? -90 : 90);
        StopSlideShow();
        return;
    }
    StepPicture(delta < 0);
}

void ViewerWindow::OnDropFiles(const std::vector<std::string>& paths) {
    if (paths.size() != 1) return; // several files at once do nothing
    if (OpenFile(paths[0].c_str()) && WindowExists()) host_->activate();
}

void ViewerWindow::OnTimer(int id) {
    switch (id) {
    case TimerRightClick:
        RightClickTick();
        break;
    case TimerRightZoom:
        RightZoomTick();
        break;
    case TimerSlideShow:
        SlideShowTick();
        break;
    default:
        break;
    }
}

void ViewerWindow::RightClickTick() {
    if (!WindowExists()) return;
    host_->killTimer(TimerRightClick);
    if (flags & RightDoubleClicked) return;
    const Point cursor = host_->cursorPos();
    const Rect window = host_->windowRect();
    const int dx = cursor.x - window.left - pressPointX;
    const int dy = cursor.y - window.top - pressPointY;
    if (std::abs(dx) < kRightClickSlop && std::abs(dy) < kRightClickSlop) ShowContextMenu();
}

void ViewerWindow::RightZoomTick() {
    CachedPicture* current = PictureOnShow();
    if (!current || !WindowExists()) return;
    Rect zoomed;
    if (!ComputeRightZoom(host_->cursorPos(), zoomed)) return;
    const Rect present = host_->windowRect();
    if (present.width() == zoomed.width() && present.height() == zoomed.height()) {
        // Still: after 30 such ticks, one frame in quality; nothing otherwise.
        if (zoomStillTicks++ != kZoomQualityTicks) return;
        ZoomTo(*current->picture, zoomed.left, zoomed.top, zoomed.width(), zoomed.height(), false);
        return;
    }
    // Every step while the size changes is a fast one, also after a quality frame.
    ZoomTo(*current->picture, zoomed.left, zoomed.top, zoomed.width(), zoomed.height(), true);
    zoomStillTicks = 0;
}

} // namespace vistrel
