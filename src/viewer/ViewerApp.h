// The application: start-up in its fixed order, up to the event loop.
#pragma once

#include "Prefetcher.h"
#include "ViewerWindow.h"
#include "WindowHost.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vistrel {

class ViewerApp {
public:
    // Decodes a file into a record, asking for the screen copy policy when it needs it
    // (CachedPicture::load, unless a test gives its own).
    using OpeningDecode =
        std::function<bool(CachedPicture& record, const char* path, const PendingPolicy& policy)>;

    // Starts decoding the command line's picture at once, on a thread of its own, while the
    // caller brings up the toolkit and the display connection on this one. The decode reads the
    // file meanwhile and waits for the screen (from start) only when it needs it; `guessScreen`,
    // called on that thread, may tell the screen's likely size sooner.
    void beginOpening(const std::string& commandLine, OpeningDecode decode = {},
                      const std::function<std::optional<Size>()>& guessScreen = {});
    // Reads the fit and lock settings, hands the decode the screen it is for and takes the
    // picture (waiting for it a bounded time: a slower one is shown once it lands), creates the
    // window and lets the prefetch workers run. False when the window cannot be created (the
    // program then ends). The caller runs the event loop afterwards.
    bool start(ViewerWindow& window, WindowHost& host);

private:
    struct ScreenGate;
    std::shared_ptr<ScreenGate> gate_;
    std::shared_ptr<Prefetcher::Opening> opening_;
};

} // namespace vistrel
