// Holds the arrow key down through a folder of large pictures: 100 steps forward at the key
// repeat rate, each one a showNext as the window makes it. For every step it records whether the
// worker was still decoding when the key came (so that the step had to wait for that decode) and
// how long the step took; the reference is decoding each picture on demand, without prefetch.
// A second run steps slowly (a picture every 600 ms), where every step should find its picture
// decoded. Usage: browse_bench FOLDER [STEPS] [REPEAT_MS]
#include "Prefetcher.h"
#include "QtPlatform.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <thread>
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
            const bool ok = record.load(path, policy);
            totalMicroseconds +=
                std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
            ++count;
            running.fetch_sub(1);
            return ok;
        };
    }
};

struct Result {
    int steps = 0, advanced = 0, waited = 0;
    std::vector<double> latencies;
};

Result holdKey(const std::string& first, int steps, int repeatMs, DecodeWatch& watch) {
    Prefetcher prefetcher(watch.function());
    prefetcher.setPolicy(ScreenCopyPolicy{{1920, 1080}, true, {}});
    Result result;
    if (!prefetcher.open(first)) return result;
    // The first picture has been looked at for a moment before the key goes down.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    auto tick = Clock::now();
    for (int i = 0; i < steps; ++i) {
        tick += std::chrono::milliseconds(repeatMs);
        std::this_thread::sleep_until(tick);
        const CachedPicture* before = prefetcher.current();
        const bool decoding = watch.running.load() > 0;
        const auto start = Clock::now();
        prefetcher.showNext();
        const auto end = Clock::now();
        // The key repeat does not queue up behind a slow step: the next one comes a repeat
        // interval after this one ends at the earliest.
        if (end > tick) tick = end;
        ++result.steps;
        result.advanced += prefetcher.current() != before;
        result.waited += decoding;
        result.latencies.push_back(msSince(start, end));
    }
    prefetcher.endWorker(true);
    return result;
}

void report(const char* title, Result r, double decodeMs) {
    if (r.latencies.empty()) {
        std::printf("%s: no steps (the first picture did not open)\n", title);
        return;
    }
    std::sort(r.latencies.begin(), r.latencies.end());
    double sum = 0;
    for (double l : r.latencies)
        sum += l;
    const double mean = sum / double(r.latencies.size());
    std::printf("%s: %d steps, %d moved on, %d waited for a decode (%.0f%%); step time mean %.1f "
                "ms, median %.1f ms, max %.1f ms; vs decoding on demand (%.1f ms): %.2fx\n",
                title, r.steps, r.advanced, r.waited, 100.0 * r.waited / r.steps, mean,
                r.latencies[r.latencies.size() / 2], r.latencies.back(), decodeMs, mean / decodeMs);
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
    std::printf("picture: %s, decode %.1f ms (median of 5; JPEG through the system decoder)\n",
                first.c_str(), decodeMs);

    DecodeWatch held;
    char title[64];
    std::snprintf(title, sizeof title, "key held (repeat every %d ms)", repeatMs);
    report(title, holdKey(first, steps, repeatMs, held), decodeMs);
    DecodeWatch slow;
    report("slow steps (every 600 ms)", holdKey(first, std::min(steps, 20), 600, slow), decodeMs);
    Prefetcher::exitIfWorkerAbandoned(0);
    return 0;
}
