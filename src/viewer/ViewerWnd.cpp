// The window's life: construction, creation, opening files, modal state and closing.
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

} // namespace vistrel
