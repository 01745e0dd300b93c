#include "ViewerApp.h"

#include "CommandLine.h"
#include "DebugLog.h"
#include "Files.h"

#include <condition_variable>
#include <mutex>

namespace vistrel {

namespace {

// How long the window waits for the command-line picture before it comes up without it (on the
// start page, the picture following when it lands). Long enough for the largest pictures the
// decoders accept, so that they do not flash the start page first.
constexpr std::chrono::milliseconds kStartUpPatience{3000};

} // namespace

// The screen copy policy, once the toolkit knows the screen: the start-up decode waits here for
// it (the platform, and with it the system picture decoder, is installed by then too).
struct ViewerApp::ScreenGate {
    std::mutex mutex;
    std::condition_variable opened;
    bool known = false;
    ScreenCopyPolicy policy;

    ScreenCopyPolicy wait() {
        std::unique_lock guard(mutex);
        opened.wait(guard, [&] { return known; });
        return policy;
    }
    void open(const ScreenCopyPolicy& p) {
        std::lock_guard guard(mutex);
        policy = p;
        known = true;
        opened.notify_all();
    }
};

void ViewerApp::beginOpening(const std::string& commandLine, OpeningDecode decode,
                             const std::function<std::optional<Size>()>& guessScreen) {
    const std::string path = PathFromCommandLine(commandLine);
    if (path.empty()) return;
    if (!decode) {
        decode = [](CachedPicture& record, const char* file, const PendingPolicy& policy) {
            return record.loadAwaitingPolicy(file, policy).ok();
        };
    }
    gate_ = std::make_shared<ScreenGate>();
    opening_ = Prefetcher::startOpening(
        // Folder browsing and the decoders need the picture's folder, so a relative path is taken
        // from the working folder.
        absolutePath(path),
        [gate = gate_, decode, guessScreen](CachedPicture& record, const char* file) {
            debugLog("start-up decode begins: %s", file);
            PendingPolicy policy{[&] { return gate->wait(); }, std::nullopt};
            // Fit to screen, unless the settings turn it off (then the decode is made again).
            if (const std::optional<Size> screen = guessScreen ? guessScreen() : std::nullopt) {
                policy.guess = ScreenCopyPolicy{*screen, false, {}};
                policy.guess->reduceLargeJpeg = true;
                debugLog("screen guessed: %dx%d", screen->width, screen->height);
            }
            const bool decoded = decode(record, file, policy);
            debugLog("start-up decode %s", decoded ? "done" : "failed");
            return decoded;
        });
}

bool ViewerApp::start(ViewerWindow& window, WindowHost& host) {
    window.readSettings();
    // Opened before the window exists: the layout is computed without it, the screen copy is
    // made for start-up, and the prefetch workers wait for the window.
    if (opening_) {
        gate_->open(window.screenCopyPolicy());
        window.openFrom(opening_, kStartUpPatience);
        debugLog("start-up picture taken");
    }
    const bool created = window.create(host);
    debugLog("window created");
    return created;
}

} // namespace vistrel
