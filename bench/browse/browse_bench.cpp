// Holds the arrow key down through a folder of large pictures: 100 key repeats forward at the
// repeat rate, each one a showNext as the window makes it, with the window's poll on the
// prefetcher's arrival call in between. It counts the pictures shown (a step lands at once, or when
// its decode lands) and how long each showNext call took (it never waits for a decode); the
// reference is decoding each picture on demand at full resolution, without prefetch. A second run
// steps slowly (a picture every 600 ms, 50 of them), where every step should find its picture
// decoded. Both sample the process's resident memory at every step and report its peak: a folder
// of large pictures is held as screen copies, not whole pictures. Usage:
// browse_bench FOLDER [STEPS] [REPEAT_MS]
#include "Prefetcher.h"
#include "QtPlatform.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

using namespace vistrel;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

std::string firstPicture(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (std::string(entry->d_name).find(".jpg") != std::string::npos)
                names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : folder + "/" + names.front();
}

// The decode the window gets, timed, and telling whether one is under way.
struct DecodeWatch {
    std::atomic<int> running{0};
    std::atomic<long> count{0};
    std::atomic<long long> totalMicroseconds{0};

    Prefetcher::DecodeFunction function() {
        return [this](CachedPicture& record, const char* path, const ScreenCopyPolicy& policy) {
            running.fetch_add(1);
            const auto start = Clock::now();
            const bool ok = record.load(path, policy).ok();
            totalMicroseconds +=
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
            ++count;
            running.fetch_sub(1);
            return ok;
        };
    }
};

// The process's resident memory now, in MB (VmRSS).
double residentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
    return 0;
}

struct Result {
    int steps = 0, immediate = 0, shown = 0;
    double heldMs = 0, peakMb = 0;
    std::vector<double> latencies;
};

ScreenCopyPolicy windowPolicy() {
    ScreenCopyPolicy policy{{1920, 1080}, true, {}};
    policy.screenCopyOnly = true; // fit to screen, as the window starts
    return policy;
}

// The window's event loop: it polls the prefetcher when the arrival call comes.
class ArrivalLoop {
public:
    explicit ArrivalLoop(Prefetcher& prefetcher) : prefetcher_(prefetcher) {
        prefetcher.setArrivalCall([this] {
            std::lock_guard guard(mutex_);
            arrived_ = true;
            called_.notify_one();
        });
    }
    ~ArrivalLoop() { prefetcher_.setArrivalCall({}); }
    // Polls on every arrival until `until`; how many new pictures were shown.
    int runUntil(Clock::time_point until) {
        int shown = 0;
        for (;;) {
            {
                std::unique_lock guard(mutex_);
                if (!called_.wait_until(guard, until, [this] { return arrived_; })) return shown;
                arrived_ = false;
            }
            shown += prefetcher_.poll().shown;
        }
    }

private:
    Prefetcher& prefetcher_;
    std::mutex mutex_;
    std::condition_variable called_;
    bool arrived_ = false;
};

Result holdKey(const std::string& first, int steps, int repeatMs, DecodeWatch& watch) {
    Prefetcher prefetcher(watch.function());
    ArrivalLoop loop(prefetcher);
    prefetcher.setPolicy(windowPolicy());
    Result result;
    prefetcher.open(first);
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!prefetcher.current() && Clock::now() < deadline)
        loop.runUntil(std::min(deadline, Clock::now() + std::chrono::milliseconds(10)));
    if (!prefetcher.current()) return result;
    // The first picture has been looked at for a moment before the key goes down.
    loop.runUntil(Clock::now() + std::chrono::milliseconds(1000));
    const auto pressed = Clock::now();
    auto tick = pressed;
    for (int i = 0; i < steps; ++i) {
        tick += std::chrono::milliseconds(repeatMs);
        result.shown += loop.runUntil(tick);
        const auto start = Clock::now();
        const Prefetcher::Step step = prefetcher.showNext();
        result.latencies.push_back(msSince(start, Clock::now()));
        ++result.steps;
        result.immediate += step == Prefetcher::Step::Shown;
        result.shown += step == Prefetcher::Step::Shown;
        result.peakMb = std::max(result.peakMb, residentMb());
    }
    result.heldMs = msSince(pressed, Clock::now());
    prefetcher.endWorker(true);
    return result;
}

void report(const char* title, Result r, double decodeMs) {
    if (r.latencies.empty()) {
        std::printf("%s: no steps (the first picture did not open)\n", title);
        return;
    }
    std::sort(r.latencies.begin(), r.latencies.end());
    std::printf("%s: %d key repeats in %.0f ms, %d pictures shown (%.1f a second), %d found "
                "decoded at once; showNext median %.3f ms, max %.3f ms; one full decode on "
                "demand: %.1f ms; resident memory at most %.0f MB\n",
                title, r.steps, r.heldMs, r.shown, r.shown * 1000.0 / r.heldMs, r.immediate,
                r.latencies[r.latencies.size() / 2], r.latencies.back(), decodeMs, r.peakMb);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // Qt finds its image reader plugins through it
    QtPlatform qtPlatform;
    installPlatform(&qtPlatform);
    if (argc < 2) {
        std::fprintf(stderr, "usage: browse_bench FOLDER [STEPS] [REPEAT_MS]\n");
        return 2;
    }
    const std::string first = firstPicture(argv[1]);
    const int steps = argc > 2 ? std::atoi(argv[2]) : 100;
    const int repeatMs = argc > 3 ? std::atoi(argv[3]) : 33;

    // Reference: the same decode on the window thread, once per step, without prefetch.
    std::vector<double> decodes;
    for (int i = 0; i < 5; ++i) {
        CachedPicture record;
        const auto start = Clock::now();
        if (!record.load(first.c_str(), ScreenCopyPolicy{{1920, 1080}, true, {}})) {
            std::fprintf(stderr, "cannot decode %s\n", first.c_str());
            return 1;
        }
        decodes.push_back(msSince(start, Clock::now()));
    }
    std::sort(decodes.begin(), decodes.end());
    const double decodeMs = decodes[decodes.size() / 2];
    std::printf("picture: %s, full decode and screen copy %.1f ms (median of 5)\n", first.c_str(),
                decodeMs);

    DecodeWatch held;
    char title[64];
    std::snprintf(title, sizeof title, "key held (repeat every %d ms)", repeatMs);
    report(title, holdKey(first, steps, repeatMs, held), decodeMs);
    DecodeWatch slow;
    report("slow steps (every 600 ms)", holdKey(first, std::min(steps, 50), 600, slow), decodeMs);
    Prefetcher::exitIfWorkerAbandoned(0);
    return 0;
}
