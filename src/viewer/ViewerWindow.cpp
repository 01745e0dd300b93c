// The window's life: construction, settings, creation, opening files and closing.
#include "ViewerWindow.h"

#include "Platform.h"
#include "Settings.h"

namespace vistrel {

namespace {

// How often the window looks for a picture it waits for.
constexpr int kArrivalPollMs = 4;
// How long an operation that needs a picture at full resolution (zoom, natural size, turns, a
// drag out) waits for the full decode of a reduced picture that has not landed yet.
constexpr std::chrono::milliseconds kFullDecodePatience{3000};

} // namespace

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
    ScreenCopyPolicy policy{screen().size(), windowExists(), platform().capabilities()};
    // A picture fitted to the screen shows first from a reduced decode.
    policy.reduceLargeJpeg = fitToScreen_;
    return policy;
}

CachedPicture* ViewerWindow::currentWithPixels() {
    CachedPicture* current = pictures_.current();
    return current && current->showable() ? current : nullptr;
}

CachedPicture* ViewerWindow::fullPictureOnShow() {
    return startPage_ ? nullptr : fullCurrent();
}

CachedPicture* ViewerWindow::fullCurrent() {
    CachedPicture* current = currentWithPixels();
    if (!current || !current->reduced()) return current;
    pictures_.requireFull(kFullDecodePatience);
    current = currentWithPixels();
    return current && !current->reduced() ? current : nullptr;
}

void ViewerWindow::awaitPictures() {
    if (awaiting_ || !windowExists() || !pictures_.expecting()) return;
    awaiting_ = true;
    host_->setTimer(Timer::PictureArrival, kArrivalPollMs);
}

void ViewerWindow::releaseWorkers() {
    if (!holdingWorkers_ || !windowExists()) return;
    holdingWorkers_ = false;
    // From now on a large picture is reduced with the filtered resampler, and the workers decode
    // ahead of time.
    pictures_.setPolicy(screenCopyPolicy());
    // The timer the first frame started ran once for this; from now on it runs only while the
    // prefetcher expects something.
    host_->killTimer(Timer::PictureArrival);
    awaiting_ = false;
    awaitPictures();
}

void ViewerWindow::picturesArrived() {
    releaseWorkers();
    const Prefetcher::Changes changes = pictures_.poll();
    if (changes.shown)
        showCurrent();
    else if (changes.upgraded && pictureOnShow())
        repaint(); // the screen copy made from the full decode
    if (!pictures_.expecting() && windowExists()) {
        host_->killTimer(Timer::PictureArrival);
        awaiting_ = false;
    }
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
    // The prefetch workers start once the first frame is on the screen (onPaint): until then the
    // display server and this thread have the machine. Any request starts them earlier.
    holdingWorkers_ = true;
    return true;
}

bool ViewerWindow::openFile(const char* path) {
    if (!path || !*path) return false;
    holdingWorkers_ = false;
    pictures_.setPolicy(screenCopyPolicy());
    pictures_.open(path);
    awaitPictures();
    return true;
}

void ViewerWindow::openFrom(std::shared_ptr<Prefetcher::Opening> opening,
                            std::chrono::milliseconds patience) {
    Prefetcher::waitForOpening(*opening, patience);
    pictures_.setPolicy(screenCopyPolicy());
    pictures_.open(std::move(opening));
    if (pictures_.poll().shown) showCurrent();
    awaitPictures();
}

void ViewerWindow::onClose() {
    if (awaiting_ && windowExists()) host_->killTimer(Timer::PictureArrival);
    awaiting_ = false;
    if (windowExists()) host_->hide();
    pictures_.endWorker(true);
    if (host_) host_->destroy();
}

} // namespace vistrel
