#include "LargeBuffer.h"

#include "Pages.h"
#include "PopulateAhead.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace vistrel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kDefaultPoolLimit = std::size_t(256) << 20;
// A kept block that nothing asked for within this time goes back to the system: the pool serves
// a run of pictures of one size (a folder of photos), it does not hold memory for good.
constexpr auto kKeepFor = std::chrono::seconds(3);

std::size_t roundToHugePages(std::size_t bytes) {
    return (bytes + kHugePageSize - 1) & ~(kHugePageSize - 1);
}

struct KeptBlock {
    void* block = nullptr;
    std::size_t rounded = 0;
    std::size_t dirty = 0; // bytes from the start that may not be zero
    Clock::time_point freed;
};

// Freed blocks kept resident and cleared on an idle thread. Handing one out again skips both the
// page faults and the kernel's clearing of the pages, which a decode into a fresh picture would
// otherwise pay on its critical path.
class ReusePool {
public:
    void* take(std::size_t rounded) {
        std::unique_lock guard(mutex_);
        auto best = blocks_.end();
        for (auto it = blocks_.begin(); it != blocks_.end(); ++it)
            if (it->rounded == rounded && (best == blocks_.end() || it->dirty < best->dirty))
                best = it;
        if (best == blocks_.end()) return nullptr;
        const KeptBlock found = *best;
        blocks_.erase(best);
        kept_ -= found.rounded;
        ++hits_;
        guard.unlock();
        // Not cleared yet (the idle thread had no time): cleared here, still without faults.
        if (found.dirty) std::memset(found.block, 0, found.dirty);
        return found.block;
    }

    bool keep(void* block, std::size_t rounded, std::size_t bytes) {
        std::vector<KeptBlock> expired;
        {
            std::lock_guard guard(mutex_);
            if (rounded > limit_) return false;
            while (kept_ + rounded > limit_ && !blocks_.empty()) {
                expired.push_back(blocks_.front()); // the oldest go first
                kept_ -= blocks_.front().rounded;
                blocks_.erase(blocks_.begin());
            }
            if (kept_ + rounded > limit_) {
                // The rest is being cleared right now; this block is not kept.
                expired.push_back({block, rounded, 0, {}});
            } else {
                blocks_.push_back({block, rounded, bytes, Clock::now()});
                kept_ += rounded;
                startCleaner();
                changed_.notify_all();
            }
        }
        for (const KeptBlock& gone : expired)
            unmapPages(gone.block, gone.rounded);
        return true;
    }

    void setLimit(std::size_t bytes) {
        std::vector<KeptBlock> expired;
        {
            std::lock_guard guard(mutex_);
            limit_ = bytes;
            while (kept_ > limit_ && !blocks_.empty()) {
                expired.push_back(blocks_.front());
                kept_ -= blocks_.front().rounded;
                blocks_.erase(blocks_.begin());
            }
        }
        for (const KeptBlock& gone : expired)
            unmapPages(gone.block, gone.rounded);
    }

    std::size_t keptBytes() {
        std::lock_guard guard(mutex_);
        return kept_;
    }
    std::size_t hits() {
        std::lock_guard guard(mutex_);
        return hits_;
    }

    void waitUntilCleared() {
        std::unique_lock guard(mutex_);
        if (!cleanerRunning_) return;
        changed_.wait(guard, [&] { return clearing_ == 0 && !anyDirty(); });
    }

private:
    bool anyDirty() const {
        return std::any_of(blocks_.begin(), blocks_.end(),
                           [](const KeptBlock& b) { return b.dirty != 0; });
    }

    // Called with the lock held.
    void startCleaner() {
        if (cleanerRunning_) return;
        try {
            std::thread(&ReusePool::clean, this).detach();
            cleanerRunning_ = true;
        } catch (const std::system_error&) {
            // No thread to be had: kept blocks are cleared when they are taken.
        }
    }

    // The idle thread: clears kept blocks and gives back those kept too long. It runs only when
    // no other thread wants the processor, and for the life of the process (the pool is never
    // destroyed, so a clearing under way at exit touches nothing freed).
    void clean() {
        runAtIdlePriority();
        std::unique_lock guard(mutex_);
        for (;;) {
            std::vector<KeptBlock> expired;
            const Clock::time_point now = Clock::now();
            for (auto it = blocks_.begin(); it != blocks_.end();) {
                if (now - it->freed >= kKeepFor) {
                    expired.push_back(*it);
                    kept_ -= it->rounded;
                    it = blocks_.erase(it);
                } else {
                    ++it;
                }
            }
            if (!expired.empty()) {
                guard.unlock();
                for (const KeptBlock& gone : expired)
                    unmapPages(gone.block, gone.rounded);
                guard.lock();
                continue;
            }
            const auto dirty = std::find_if(blocks_.begin(), blocks_.end(),
                                            [](const KeptBlock& b) { return b.dirty != 0; });
            if (dirty != blocks_.end()) {
                KeptBlock clearing = *dirty;
                blocks_.erase(dirty);
                ++clearing_;
                guard.unlock();
                std::memset(clearing.block, 0, clearing.dirty);
                guard.lock();
                --clearing_;
                if (kept_ > limit_) {
                    // The limit was lowered while the block was being cleared: it goes back.
                    kept_ -= clearing.rounded;
                    guard.unlock();
                    unmapPages(clearing.block, clearing.rounded);
                    guard.lock();
                } else {
                    clearing.dirty = 0;
                    blocks_.push_back(clearing);
                }
                changed_.notify_all();
                continue;
            }
            if (blocks_.empty()) {
                changed_.wait(guard);
            } else {
                Clock::time_point oldest = blocks_.front().freed;
                for (const KeptBlock& b : blocks_)
                    oldest = std::min(oldest, b.freed);
                changed_.wait_until(guard, oldest + kKeepFor);
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<KeptBlock> blocks_; // oldest first
    std::size_t kept_ = 0;          // in blocks_ and being cleared
    std::size_t limit_ = kDefaultPoolLimit;
    std::size_t hits_ = 0;
    int clearing_ = 0;
    bool cleanerRunning_ = false;
};

ReusePool& pool() {
    static ReusePool* const instance = new ReusePool; // never destroyed: see clean()
    return *instance;
}

} // namespace

void* allocateLarge(std::size_t bytes) noexcept {
    if (bytes == 0) return nullptr;
    if (bytes < kHugePageSize) return std::calloc(1, bytes);
    if (bytes > SIZE_MAX - 2 * kHugePageSize) return nullptr;
    const std::size_t rounded = roundToHugePages(bytes);
    if (void* reused = pool().take(rounded)) return reused;
    void* block = mapPages(rounded, bytes);
    // Only what was asked for: the rest of the last huge page stays untouched where no huge page
    // backs it.
    if (block && rounded >= kPopulateAheadMinimum) populateAhead(block, bytes);
    return block;
}

void freeLarge(void* block, std::size_t bytes, AfterUse after) noexcept {
    if (!block) return;
    if (bytes < kHugePageSize) {
        std::free(block);
        return;
    }
    const std::size_t rounded = roundToHugePages(bytes);
    if (rounded >= kPopulateAheadMinimum) stopPopulating(block);
    if (after == AfterUse::Reuse && pool().keep(block, rounded, bytes)) return;
    unmapPages(block, rounded);
}

void setReusePoolLimit(std::size_t bytes) noexcept {
    pool().setLimit(bytes);
}

std::size_t reusePoolBytes() noexcept {
    return pool().keptBytes();
}

std::size_t reusePoolHits() noexcept {
    return pool().hits();
}

void waitForReusePoolCleared() noexcept {
    pool().waitUntilCleared();
}

} // namespace vistrel
