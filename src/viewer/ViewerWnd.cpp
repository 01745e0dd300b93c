// The window's life: construction, creation, opening files, closing, and the handlers that turn
// input into the window's operations.
#include "ViewerWnd.h"

#include "Platform.h"
#include "Settings.h"
#include "StartPage.h"

#include <algorithm>

namespace vistrel {

ViewerWnd::ViewerWnd(std::unique_ptr<PictureSource> source) : source_(std::move(source)) {}

void ViewerWnd::MeasureStartPage() {
    if (startPageWidth_ > 0) return;
    const TextExtent line = platform().textExtent(kStartPageMeasureLine);
    startPageWidth_ = std::max(300, line.width);
    startPageHeight_ = std::max(300, 15 * line.height + 100);
}

int ViewerWnd::StartPageWidth() {
    MeasureStartPage();
    return startPageWidth_;
}

int ViewerWnd::StartPageHeight() {
    MeasureStartPage();
    return startPageHeight_;
}

ViewerWnd::~ViewerWnd() = default;

bool ViewerWnd::WindowExists() const {
    return host_ && host_->exists();
}

CachedPicture* ViewerWnd::CurrentWithPixels() {
    CachedPicture* current = source_->current();
    if (!current || !current->picture || current->picture->empty()) return nullptr;
    return current;
}

CachedPicture* ViewerWnd::PictureOnShow() {
    return startPage ? nullptr : CurrentWithPixels();
}

bool ViewerWnd::Create(WindowHost& host) {
    host_ = &host;
    InitialPlacement();
    if (ReadSetting("NoneTopMost") == 1) flags &= ~TopMost;
    if (!host.create(windowX, windowY, windowWidth, windowHeight, (flags & TopMost) != 0,
                     caption)) {
        host_ = nullptr;
        return false;
    }
    return true;
}

bool ViewerWnd::OpenFile(const char* path) {
    if (!source_->open(path)) return false;
    ShowCurrent();
    return true;
}

void ViewerWnd::BeginModalState() {
    if (WindowExists()) host_->setEnabled(false);
}

void ViewerWnd::EndModalState() {
    if (WindowExists()) host_->setEnabled(true);
}

void ViewerWnd::OnClose() {
    if (WindowExists()) host_->hide();
    source_->endWorker(true);
    if (host_) host_->destroy();
}

void ViewerWnd::StopSlideShow() {
    if (slideShowMode == 0) return;
    if (WindowExists()) host_->killTimer(TimerSlideShow);
    slideShowMode = 0;
}

void ViewerWnd::OnKeyDown(int key) {
    switch (key) {
    case VkEscape:
        if (slideShowMode != 0)
            StopSlideShow();
        else if (host_)
            host_->postClose();
        break;
    case VkLeft:
    case VkUp:
        if (source_->showPrevious()) ShowCurrent();
        StopSlideShow();
        break;
    case VkRight:
    case VkDown:
        if (source_->showNext()) ShowCurrent();
        StopSlideShow();
        break;
    case Vk8:
    case VkMultiply:
        // Unlike the double click, the key neither ends a zoom nor stores the setting.
        flags ^= FitToScreen;
        Relayout(nullptr);
        break;
    default:
        break;
    }
}

void ViewerWnd::OnHelp() {
    ShowStartPage();
    StopSlideShow();
}

void ViewerWnd::OnLButtonDown(unsigned mouse, Point point) {
    if (mouse & MkControl) return; // Ctrl + left drag offers the picture as a file instead
    flags |= Dragging;
    pressPointX = windowX + point.x;
    pressPointY = windowY + point.y;
    pressWindowX = windowX;
    pressWindowY = windowY;
    if (WindowExists()) host_->captureMouse();
}

void ViewerWnd::OnMouseMove(unsigned, Point point) {
    if (!(flags & Dragging)) return;
    if (flags & SkipNextMove) {
        // The move that the window's own displacement caused.
        flags &= ~SkipNextMove;
        return;
    }
    windowX = pressWindowX + (windowX + point.x - pressPointX);
    windowY = pressWindowY + (windowY + point.y - pressPointY);
    flags |= SkipNextMove;
    MoveWindowTo(false);
}

void ViewerWnd::OnLButtonUp(unsigned, Point) {
    if (WindowExists()) host_->releaseMouse();
    if (lockPlace >= 0 && (pressWindowX != windowX || pressWindowY != windowY)) CaptureLockPlace();
    flags &= ~(RightDoubleClicked | Dragging | SkipNextMove | RightZooming);
}

void ViewerWnd::OnLButtonDblClk(unsigned, Point point) {
    if (ToggleFitToScreen(point)) return;
    const ScreenSize screen = screenSize();
    windowX = (screen.width - windowWidth) / 2;
    windowY = (screen.height - windowHeight) / 2;
    MoveWindowTo(false);
}

void ViewerWnd::OnTimer(int) {}

void ViewerWnd::OnDropFiles(const std::vector<std::string>& paths) {
    if (paths.size() != 1) return; // several files at once do nothing
    if (OpenFile(paths[0].c_str()) && WindowExists()) host_->activate();
}

} // namespace vistrel
