#include "PopulateAhead.h"

#include "LargeBuffer.h"
#include "Pages.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace vistrel {

namespace {

// One huge page per call: a block being given back waits at most for one.
constexpr std::size_t kChunk = kHugePageSize;

class Populator {
public:
    void add(void* block, std::size_t bytes) {
        std::lock_guard guard(mutex_);
        if (unsupported_) return;
        if (!running_) {
            try {
                std::thread(&Populator::run, this).detach();
                running_ = true;
            } catch (const std::system_error&) {
                return; // no thread to be had: the decode faults its pages in itself
            }
        }
        jobs_.push_back({static_cast<char*>(block), bytes, 0});
        changed_.notify_all();
    }

    void stop(void* block) {
        std::unique_lock guard(mutex_);
        std::erase_if(jobs_, [&](const Job& job) { return job.block == block; });
        // The chunk being faulted in now must finish before the block can be unmapped.
        changed_.wait(guard, [&] { return busy_ != block; });
    }

private:
    struct Job {
        char* block;
        std::size_t bytes;
        std::size_t done;
    };

    // For the life of the process (the populator is never destroyed).
    void run() {
        std::unique_lock guard(mutex_);
        for (;;) {
            changed_.wait(guard, [&] { return !jobs_.empty(); });
            char* const block = jobs_.front().block;
            const std::size_t done = jobs_.front().done;
            const std::size_t length = std::min(kChunk, jobs_.front().bytes - done);
            busy_ = block;
            guard.unlock();
            const bool populated = populatePages(block + done, length);
            guard.lock();
            busy_ = nullptr;
            changed_.notify_all();
            // The job may have been stopped meanwhile; it is found again by its block.
            const auto job = std::find_if(jobs_.begin(), jobs_.end(),
                                          [&](const Job& j) { return j.block == block; });
            if (!populated) {
                // A system without the call (older than Linux 5.14) never has it: no more jobs.
                if (!everPopulated_) {
                    unsupported_ = true;
                    jobs_.clear();
                } else if (job != jobs_.end()) {
                    jobs_.erase(job);
                }
                continue;
            }
            everPopulated_ = true;
            if (job == jobs_.end()) continue;
            job->done += length;
            if (job->done >= job->bytes) jobs_.erase(job);
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Job> jobs_; // oldest first: the decode that started first needs its pages first
    void* busy_ = nullptr;  // the block whose chunk is being faulted in
    bool running_ = false;
    bool everPopulated_ = false;
    bool unsupported_ = false;
};

Populator& populator() {
    static Populator* const instance = new Populator; // never destroyed: see run()
    return *instance;
}

} // namespace

void populateAhead(void* block, std::size_t bytes) noexcept {
    populator().add(block, bytes);
}

void stopPopulating(void* block) noexcept {
    populator().stop(block);
}

} // namespace vistrel
