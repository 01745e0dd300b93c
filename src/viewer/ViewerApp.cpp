#include "ViewerApp.h"

#include "CommandLine.h"
#include "DebugLog.h"
#include "Files.h"
#include "PictureFormat.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>

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

// The command line picture's header, read by the start-up decode before the picture: the window is
// made ahead for it. Read on the decode's thread, so that a file that hangs (a network mount gone)
// holds up that thread only, and the window waits for it no longer than for the picture.
struct ViewerApp::HeaderSlot {
    std::mutex mutex;
    std::condition_variable told;
    bool known = false;
    std::optional<PictureHeader> header;

    void tell(std::optional<PictureHeader> h) {
        std::lock_guard guard(mutex);
        header = h;
        known = true;
        told.notify_all();
    }
    std::optional<PictureHeader> waitUntil(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock guard(mutex);
        told.wait_until(guard, deadline, [&] { return known; });
        return header;
    }
};

// The command line's pictures that have not yet been said to fail; each is said once, from
// whichever thread decodes it. Until the window starts, what failed is kept: a start that hands
// its pictures to a window already running says nothing of decodes it abandons.
struct ViewerApp::Unreported {
    std::mutex mutex;
    std::set<std::string> paths;
    bool held = true;
    std::string kept;

    void failed(const std::string& path, DecodeResult result) {
        std::unique_lock guard(mutex);
        if (paths.erase(path) == 0) return;
        if (held) {
            kept += FailureLine(path, result);
            return;
        }
        guard.unlock();
        std::fputs(FailureLine(path, result).c_str(), stderr);
    }
    void release() {
        std::lock_guard guard(mutex);
        held = false;
        std::fputs(kept.c_str(), stderr);
    }
};

namespace {

// A picture of the command line that is not there, or is no regular file, is said so at once.
bool openableOrSaid(const std::string& path) {
    const FileKind kind = fileKind(path.c_str());
    if (kind == FileKind::Missing)
        std::fputs(FailureLine(path, Refusal::CannotOpen).c_str(), stderr);
    else if (kind != FileKind::Regular)
        std::fputs(FailureLine(path, Refusal::NotRegularFile).c_str(), stderr);
    else
        return true;
    return false;
}

} // namespace

void ViewerApp::beginOpening(const std::vector<std::string>& pictures, OpeningDecode decode,
                             const std::function<std::optional<Size>()>& guessScreen) {
    if (pictures.empty() || pictures[0].empty()) return;
    unreported_ = std::make_shared<Unreported>();
    std::string path = absolutePath(pictures[0]);
    if (pictures.size() > 1) {
        for (const std::string& picture : pictures) {
            const std::string absolute = absolutePath(picture);
            if (openableOrSaid(absolute)) list_.push_back(absolute);
        }
        if (list_.empty()) return;
        path = list_[0];
        unreported_->paths.insert(list_.begin(), list_.end());
    } else if (openableOrSaid(path)) {
        unreported_->paths.insert(path);
    }
    paths_ = list_.empty() ? std::vector<std::string>{path} : list_;
    if (!decode) {
        decode = [](CachedPicture& record, const char* file, const PendingPolicy& policy) {
            return record.loadAwaitingPolicy(file, policy);
        };
    }
    gate_ = std::make_shared<ScreenGate>();
    header_ = std::make_shared<HeaderSlot>();
    opening_ = Prefetcher::startOpening(
        path, [gate = gate_, header = header_, decode, guessScreen,
               unreported = unreported_](CachedPicture& record, const char* file) {
            debugLog("start-up decode begins: %s", file);
            PictureHeader told;
            header->tell(readPictureHeader(file, told) ? std::optional(told) : std::nullopt);
            PendingPolicy policy{[&] { return gate->wait(); }, std::nullopt};
            // Fit to screen, unless the settings turn it off (then the decode is made again).
            if (const std::optional<Size> screen = guessScreen ? guessScreen() : std::nullopt) {
                policy.guess = ScreenCopyPolicy{*screen, false, {}};
                policy.guess->screenCopyOnly = true;
                debugLog("screen guessed: %dx%d", screen->width, screen->height);
            }
            const DecodeResult decoded = decode(record, file, policy);
            debugLog("start-up decode %s", decoded ? "done" : "failed");
            if (!decoded) unreported->failed(file, decoded);
            return decoded.ok();
        });
}

Prefetcher::DecodeFunction ViewerApp::pictureDecode() const {
    if (!unreported_ || list_.empty()) return {};
    return [unreported = unreported_](CachedPicture& record, const char* path,
                                      const ScreenCopyPolicy& policy) {
        const DecodeResult decoded = record.load(path, policy);
        if (!decoded) unreported->failed(path, decoded);
        return decoded.ok();
    };
}

bool ViewerApp::start(ViewerWindow& window, WindowHost& host) {
    if (unreported_) unreported_->release();
    window.readSettings();
    // Opened before the window exists: the layout is computed without it, the screen copy is
    // made for start-up, and the prefetch workers wait for the window.
    if (opening_) {
        gate_->open(window.screenCopyPolicy());
        // The window is made while the picture decodes, for the size its header tells: when the
        // pixels land, only the picture is left to draw. (A picture decoded already gains
        // nothing from it: `create` does the same.)
        const auto deadline = std::chrono::steady_clock::now() + kStartUpPatience;
        const std::optional<PictureHeader> header = header_->waitUntil(deadline);
        if (header && !Prefetcher::waitForOpening(*opening_, std::chrono::milliseconds(0)))
            window.prepare(host, {header->width, header->height}, header->bitsPerPixel == 32);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        window.openFrom(opening_, std::max(left, std::chrono::milliseconds(0)), list_);
        debugLog("start-up picture taken");
    }
    const bool created = window.create(host);
    debugLog("window created");
    return created;
}

} // namespace vistrel
