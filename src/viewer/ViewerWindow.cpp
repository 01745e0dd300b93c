// The window's life: construction, settings, creation, opening files and closing.
#include "ViewerWindow.h"

#include "Platform.h"
#include "Settings.h"

namespace vistrel {

ViewerWindow::ViewerWindow(Prefetcher::DecodeFunction decode) : pictures_(std::move(decode)) {}

ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::readSettings() {
    if (ReadSetting("NoneScale") == 1) fitToScreen_ = false;
    const int32_t place = ReadSetting("LockPlace");
    // A stored place beyond the nine anchors is not a lock place.
    if (place >= 0 && place <= 8) {
        lock_.place = place;
        lock_.anchor = {ReadSetting("xLockPlace"), ReadSetting("yLockPlace")};
        lock_.byUser = ReadSetting("UserLock") > 0;
    }
}

bool ViewerWindow::windowExists() const {
    return host_ && host_->exists();
}

Rect ViewerWindow::screen() const {
    return platform().primaryScreen();
}

ScreenCopyPolicy ViewerWindow::screenCopyPolicy() const {
    return {screen().size(), windowExists(), platform().capabilities()};
}

CachedPicture* ViewerWindow::currentWithPixels() {
    CachedPicture* current = pictures_.current();
    if (!current || !current->picture || current->picture->empty()) return nullptr;
    return current;
}

CachedPicture* ViewerWindow::pictureOnShow() {
    return startPage_ ? nullptr : currentWithPixels();
}

bool ViewerWindow::create(WindowHost& host) {
    host_ = &host;
    renderer_.attach(host, platform().capabilities().translucentWindows);
    startPageView_.attach(host, renderer_);
    initialPlacement();
    // The window is made for what it shows first: ready for translucency only when that has
    // real transparency, or is the skin's shaped start page.
    if (Picture* shown = shownPicture())
        renderer_.setTranslucent(renderer_.drawsTranslucent(*shown, window_.size()));
    else
        renderer_.setTranslucent(startPageView_.skinned() && renderer_.drawsShapedTranslucent());
    if (ReadSetting("NoneTopMost") == 1) topMost_ = false;
    if (!host.create(window_, topMost_, caption_.c_str())) {
        host_ = nullptr;
        return false;
    }
    if (currentWithPixels()) updateCaption();
    // From now on a large picture is reduced with the filtered resampler, and the worker made
    // while there was no window may run.
    pictures_.setPolicy(screenCopyPolicy());
    return true;
}

bool ViewerWindow::openFile(const char* path) {
    pictures_.setPolicy(screenCopyPolicy());
    if (!pictures_.open(path)) return false;
    showCurrent();
    return true;
}

void ViewerWindow::onClose() {
    if (windowExists()) host_->hide();
    pictures_.endWorker(true);
    if (host_) host_->destroy();
}

} // namespace vistrel
