// The window's life: construction, creation, opening files, modal state and closing.
#include "ViewerWindow.h"

#include "Platform.h"
#include "Settings.h"
#include "StartPage.h"

#include <algorithm>

namespace vistrel {

ViewerWindow::ViewerWindow(std::unique_ptr<PictureSource> source) : source_(std::move(source)) {}

void ViewerWindow::MeasureStartPage() {
    if (startPageWidth_ > 0) return;
    const TextExtent line = platform().textExtent(kStartPageMeasureLine);
    startPageWidth_ = std::max(300, line.width);
    startPageHeight_ = std::max(300, 15 * line.height + 100);
}

int ViewerWindow::StartPageWidth() {
    MeasureStartPage();
    return startPageWidth_;
}

int ViewerWindow::StartPageHeight() {
    MeasureStartPage();
    return startPageHeight_;
}

ViewerWindow::~ViewerWindow() = default;

bool ViewerWindow::WindowExists() const {
    return host_ && host_->exists();
}

CachedPicture* ViewerWindow::CurrentWithPixels() {
    CachedPicture* current = source_->current();
    if (!current || !current->picture || current->picture->empty()) return nullptr;
    return current;
}

CachedPicture* ViewerWindow::PictureOnShow() {
    return startPage ? nullptr : CurrentWithPixels();
}

bool ViewerWindow::Create(WindowHost& host) {
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

bool ViewerWindow::OpenFile(const char* path) {
    if (!source_->open(path)) return false;
    ShowCurrent();
    return true;
}

void ViewerWindow::BeginModalState() {
    if (WindowExists()) host_->setEnabled(false);
}

void ViewerWindow::EndModalState() {
    if (WindowExists()) host_->setEnabled(true);
}

void ViewerWindow::OnClose() {
    if (WindowExists()) host_->hide();
    source_->endWorker(true);
    if (host_) host_->destroy();
}

} // namespace vistrel
