// The window's life: construction, creation, opening files, the pictures' arrival and closing;
// and what "the picture" is.
#include "ViewerWindow.h"

#include "Platform.h"
#include "Settings.h"

#include <utility>

namespace vistrel {

namespace {

// How long an operation that needs a picture at full resolution (zoom, natural size, turns, a
// drag out) waits for the full decode of a reduced picture that has not landed yet.
constexpr std::chrono::milliseconds kFullDecodePatience{3000};

} // namespace

ViewerWindow::ViewerWindow(Prefetcher::DecodeFunction decode) : pictures_(std::move(decode)) {}

ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::readSettings() {
    placement_.readSettings();
    // "SortNatural" 0: the plain order, digit by digit; anything else, or none, numbers by value.
    pictures_.setNaturalOrder(ReadSetting("SortNatural") != 0);
    // On unless the setting says 0.
    colorManagement_ = ReadSetting("ColorManagement") != 0;
}

ScreenCopyPolicy ViewerWindow::screenCopyPolicy() const {
    ScreenCopyPolicy policy{platform().primaryScreen().size(), host_ != nullptr,
                            platform().capabilities()};
    // A picture fitted to the screen shows first from a reduced decode.
    policy.screenCopyOnly = placement_.fitToScreen();
    policy.color.manage = colorManagement_;
    if (colorManagement_) policy.color.displayProfile = platform().displayProfile();
    return policy;
}

void ViewerWindow::onDisplayProfileChanged() {
    CachedPicture* current = pictures_.current();
    if (!colorManagement_ || !current || current->path.empty()) return;
    // Opened anew, the picture and its neighbours are decoded for the new profile; the picture
    // on show stays until then.
    const std::string path = current->path;
    openFile(path.c_str());
}

CachedPicture* ViewerWindow::pictureOnShow() {
    return startPage_ ? nullptr : pictures_.current();
}

CachedPicture* ViewerWindow::atFullResolution(CachedPicture* record) {
    if (!record || !record->reduced()) return record;
    // Only the current record is ever reduced on show; the wait may replace it.
    pictures_.requireFull(kFullDecodePatience);
    CachedPicture* current = pictures_.current();
    return current && !current->reduced() ? current : nullptr;
}

bool ViewerWindow::create(WindowHost& host) {
    renderer_.attach(host, platform().capabilities().translucentWindows);
    renderer_.setComposited(platform().compositing());
    startPageView_.attach(host, renderer_);
    const Rect screen = platform().primaryScreen();
    const CachedPicture* shown = pictureOnShow();
    placement_.placeAtCreation(
        shown ? placement_.sizeAtCreation(shown->size(), screen) : startPageView_.size(), screen);
    // The window is made for what it shows first: ready for translucency only when that has
    // real transparency, or is the skin's shaped start page.
    if (Picture* painted = paintedPicture())
        renderer_.setTranslucent(renderer_.drawsTranslucent(*painted, placement_.window().size()));
    else
        renderer_.setTranslucent(startPageView_.skinned() && renderer_.drawsShapedTranslucent());
    if (CachedPicture* current = pictures_.current()) caption_ = FormatCaption(*current);
    if (!host.create(placement_.window(), placement_.topMost(), caption_.c_str())) return false;
    host_ = &host;
    // The prefetch workers decode ahead once the first frame is on the screen (onPaint posts the
    // arrival call for it): until then the display server and this thread have the machine. Any
    // request lets them earlier.
    pictures_.setArrivalCall([&host] { host.postArrival(); });
    return true;
}

void ViewerWindow::prepare(WindowHost& host, Size picture, bool alpha) {
    const Rect screen = platform().primaryScreen();
    const Size size = placement_.sizeAhead(picture, screen);
    // Ready for translucency when the pixels may use it: most pictures with an alpha channel do,
    // and `create` makes the window anew for one that turns out opaque.
    host.prepare(placement_.placedAtCreation(size, screen), placement_.topMostAtCreation(),
                 alpha && platform().capabilities().translucentWindows);
}

bool ViewerWindow::openFile(const char* path, std::vector<std::string> list) {
    if (!path || !*path) return false;
    pictures_.setPolicy(screenCopyPolicy());
    pictures_.open(path, std::move(list));
    return true;
}

void ViewerWindow::openFrom(std::shared_ptr<Prefetcher::Opening> opening,
                            std::chrono::milliseconds patience, std::vector<std::string> list) {
    Prefetcher::waitForOpening(*opening, patience);
    pictures_.setPolicy(screenCopyPolicy());
    pictures_.open(std::move(opening), std::move(list));
    if (pictures_.poll().shown) showCurrent();
}

void ViewerWindow::onPicturesArrived() {
    // From now on a large picture is reduced with the filtered resampler, and the workers decode
    // ahead of time.
    if (host_ && !pictures_.decodesAhead()) pictures_.setPolicy(screenCopyPolicy());
    const Prefetcher::Changes changes = pictures_.poll();
    if (host_) liveFolder_.follow();
    if (changes.shown || (changes.reloadResized && pictureOnShow())) {
        showCurrent();
    } else if ((changes.upgraded || changes.reloaded) && pictureOnShow()) {
        // The screen copy made from the full decode, or the file saved over the picture on show:
        // in place, where it stands, zoomed as it was.
        if (changes.reloaded && !placement_.fitToScreen()) atFullResolution(pictureOnShow());
        repaint();
        if (changes.reloaded && host_) {
            caption_ = FormatCaption(*pictures_.current());
            host_->setTitle(caption_.c_str());
        }
    } else if (changes.openFailed && !startPage_ && !pictures_.current()) {
        perform(Action::ShowStartPage); // the picture on show went, and nothing came instead
    }
    // An animation's frame asked for may have landed.
    followAnimation();
    if (playing_.ahead && (playing_.due || playing_.stepping)) nextFrameDue();
}

void ViewerWindow::onClose() {
    // Nothing the workers still hand over reaches the host from now on.
    pictures_.setArrivalCall({});
    stopAnimation(); // its composing thread calls the host no more
    liveFolder_.stop();
    WindowHost* host = std::exchange(host_, nullptr);
    if (host) host->hide();
    pictures_.endWorker(true);
    if (host) host->destroy();
}

} // namespace vistrel
