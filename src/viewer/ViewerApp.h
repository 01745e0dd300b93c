// The application: start-up in its fixed order, up to the event loop.
#pragma once

#include "Prefetcher.h"
#include "ViewerWindow.h"
#include "WindowHost.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

class ViewerApp {
public:
    // Decodes a file into a record, asking for the screen copy policy when it needs it
    // (CachedPicture::load, unless a test gives its own).
    using OpeningDecode = std::function<DecodeResult(CachedPicture& record, const char* path,
                                                     const PendingPolicy& policy)>;

    // Starts decoding the command line's picture at once, on a thread of its own, while the
    // caller brings up the toolkit and the display connection on this one. The decode reads the
    // file meanwhile and waits for the screen (from start) only when it needs it; `guessScreen`,
    // called on that thread, may tell the screen's likely size sooner. Several `pictures` are the
    // list to step through, from the first: those that are not there are said so on standard
    // error at once and left out (and so is a single one, which is still opened: the steps go
    // from its place). A picture that does not decode is said so once the window starts.
    void beginOpening(const std::vector<std::string>& pictures, OpeningDecode decode = {},
                      const std::function<std::optional<Size>()>& guessScreen = {});
    // The decode for the window's pictures: a picture of the command line that does not decode
    // is said so on standard error (once), as the first one is by the start-up decode.
    Prefetcher::DecodeFunction pictureDecode() const;
    // Reads the fit and lock settings, hands the decode the screen it is for and takes the
    // picture (waiting for it a bounded time: a slower one is shown once it lands), creates the
    // window and lets the prefetch workers run. False when the window cannot be created (the
    // program then ends). The caller runs the event loop afterwards.
    bool start(ViewerWindow& window, WindowHost& host);
    // The pictures being opened, absolute: the list, or the one picture. What a start hands to
    // a window that already runs.
    const std::vector<std::string>& picturePaths() const { return paths_; }

private:
    struct ScreenGate;
    struct HeaderSlot;
    struct Unreported;
    std::shared_ptr<ScreenGate> gate_;
    std::shared_ptr<HeaderSlot> header_;
    std::shared_ptr<Prefetcher::Opening> opening_;
    // The command line's pictures, absolute, when they are several: the list stepped through.
    std::vector<std::string> list_;
    std::vector<std::string> paths_;
    std::shared_ptr<Unreported> unreported_;
};

} // namespace vistrel
