// A decode the tests steer, standing in for CachedPicture::load: pictures made in memory by file
// name (1x1 unless a test describes one) for files that exist, failures for chosen names, counts
// of decodes per name, the decode of one name held until the test releases it, and a random
// short delay. A picture described as reducible stands for one larger than the screen: it gets a
// screen copy, and is decoded reduced (only the copy) when the policy wants no more.
#pragma once

#include "CachedPicture.h"
#include "FileNames.h"
#include "Prefetcher.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>

namespace vistrel {

// What the decode of a name makes: a w x h picture at `bits` per pixel, every pixel `bgra` (blue
// first), then anything `finish` adds (a marked pixel, a camera text, a screen copy).
struct FakePicture {
    int width = 1, height = 1, bits = 24;
    uint32_t bgra = 0xFF806040;
    std::function<void(CachedPicture&)> finish;
    bool reducible = false;
};

class FakeDecoder {
public:
    void describe(const std::string& name, FakePicture picture) {
        std::lock_guard guard(mutex_);
        pictures_[name] = std::move(picture);
    }
    void fail(const std::string& name) {
        std::lock_guard guard(mutex_);
        failing_.insert(name);
    }
    void setMaxDelay(std::chrono::microseconds delay) {
        std::lock_guard guard(mutex_);
        maxDelay_ = delay;
    }
    // The next decode of `name` waits in the decode until release().
    void hold(const std::string& name) {
        std::lock_guard guard(mutex_);
        holdName_ = name;
    }
    void waitUntilHeld() {
        std::unique_lock guard(mutex_);
        changed_.wait(guard, [&] { return held_; });
    }
    void release() {
        std::lock_guard guard(mutex_);
        held_ = false;
        changed_.notify_all();
    }

    bool decode(CachedPicture& record, const char* path, const ScreenCopyPolicy& policy = {}) {
        const std::string name(fileNameOf(path));
        std::chrono::microseconds delay{0};
        bool fails;
        FakePicture made;
        {
            std::unique_lock guard(mutex_);
            ++started_[name];
            if (name == holdName_) {
                holdName_.clear();
                held_ = true;
                changed_.notify_all();
                changed_.wait(guard, [&] { return !held_; });
            }
            if (maxDelay_.count() > 0)
                delay = std::chrono::microseconds(random_() % (maxDelay_.count() + 1));
            fails = failing_.count(name) > 0 || ::access(path, F_OK) != 0;
            if (const auto found = pictures_.find(name); found != pictures_.end())
                made = found->second;
        }
        std::this_thread::sleep_for(delay);
        const bool reduce = made.reducible && policy.screenCopyOnly;
        if (!fails) {
            if (reduce)
                makeReduced(record, path, made, policy);
            else
                make(record, path, made, policy);
        }
        std::lock_guard guard(mutex_);
        ++finished_[name];
        if (!fails && !reduce) ++full_[name];
        return !fails;
    }

    // Decodes of `name` that ended at full resolution; of every name with an empty one.
    int fullDecodes(const std::string& name) {
        std::lock_guard guard(mutex_);
        int total = 0;
        for (const auto& [each, count] : full_)
            if (name.empty() || each == name) total += count;
        return total;
    }
    // Decodes of `name` started (or, with `finished`, ended); of every name with an empty one.
    int decodes(const std::string& name, bool finished = false) {
        std::lock_guard guard(mutex_);
        int total = 0;
        for (const auto& [each, count] : finished ? finished_ : started_)
            if (name.empty() || each == name) total += count;
        return total;
    }

    static void make(CachedPicture& record, const char* path, int width, int height) {
        make(record, path, FakePicture{width, height, 24, 0xFF806040, {}});
    }
    static void make(CachedPicture& record, const char* path, const FakePicture& made,
                     const ScreenCopyPolicy& policy = {}) {
        if (!record.picture) record.picture = std::make_unique<Picture>();
        Picture& picture = *record.picture;
        picture.create(made.width, made.height, made.bits, true);
        uint8_t* p = picture.pixels();
        const int bytes = made.bits / 8;
        for (int y = 0; y < made.height && bytes > 0; ++y)
            for (int x = 0; x < made.width; ++x)
                for (int c = 0; c < bytes; ++c)
                    p[std::size_t(y) * picture.rowSize() + std::size_t(x * bytes + c)] =
                        uint8_t(made.bgra >> (8 * c));
        record.path = path;
        record.width = made.width;
        record.height = made.height;
        if (made.reducible) makeCopy(record, made, policy);
        if (made.finish) made.finish(record);
    }

    // Only the screen copy (blank), standing for the whole picture.
    static void makeReduced(CachedPicture& record, const char* path, const FakePicture& made,
                            const ScreenCopyPolicy& policy) {
        makeCopy(record, made, policy);
        record.picture = std::make_unique<Picture>();
        record.path = path;
        record.width = made.width;
        record.height = made.height;
        record.markReduced({made.width, made.height});
    }

private:
    static void makeCopy(CachedPicture& record, const FakePicture& made,
                         const ScreenCopyPolicy& policy) {
        const Size copy = screenCopySize({made.width, made.height}, 24, policy);
        record.fitted = std::make_unique<Picture>();
        record.fitted->create(std::max(copy.width, 1), std::max(copy.height, 1), 32, true);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, FakePicture> pictures_;
    std::set<std::string> failing_;
    std::map<std::string, int> started_, finished_, full_;
    std::string holdName_;
    bool held_ = false;
    std::chrono::microseconds maxDelay_{0};
    std::mt19937 random_{20240607};
};

// The decoder is shared with the Prefetcher's state, so an abandoned worker can still use it
// after the test has let go of its own reference.
inline Prefetcher::DecodeFunction decodeWith(std::shared_ptr<FakeDecoder> decoder) {
    return [decoder](CachedPicture& record, const char* path, const ScreenCopyPolicy& policy) {
        return decoder->decode(record, path, policy);
    };
}

} // namespace vistrel
