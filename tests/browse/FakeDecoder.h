// A decode the tests steer: it fails for chosen names, counts decodes per name, can hold the
// decode of one name until the test releases it, and can take a random short time.
#pragma once

#include "CachedPicture.h"
#include "FileNames.h"
#include "Prefetcher.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>

namespace vistrel {

class FakeDecoder {
public:
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

    bool decode(CachedPicture& record, const char* path) {
        const std::string name(fileNameOf(path));
        std::chrono::microseconds delay{0};
        bool fails;
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
            fails = failing_.count(name) > 0;
        }
        std::this_thread::sleep_for(delay);
        if (!fails) {
            if (!record.picture) record.picture = std::make_unique<Picture>();
            record.picture->create(1, 1, 24, true);
            record.path = path;
            record.width = record.height = 1;
        }
        std::lock_guard guard(mutex_);
        ++finished_[name];
        return !fails;
    }

    // Decodes of `name` started (or, with `finished`, ended); of every name with an empty one.
    int decodes(const std::string& name, bool finished = false) {
        std::lock_guard guard(mutex_);
        int total = 0;
        for (const auto& [each, count] : finished ? finished_ : started_)
            if (name.empty() || each == name) total += count;
        return total;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::string> failing_;
    std::map<std::string, int> started_, finished_;
    std::string holdName_;
    bool held_ = false;
    std::chrono::microseconds maxDelay_{0};
    std::mt19937 random_{20240607};
};

// The decoder is shared with the Prefetcher's state, so an abandoned worker can still use it
// after the test has let go of its own reference.
inline Prefetcher::DecodeFunction decodeWith(std::shared_ptr<FakeDecoder> decoder) {
    return [decoder](CachedPicture& record, const char* path) {
        return decoder->decode(record, path);
    };
}

} // namespace vistrel
