#include "Prefetcher.h"

#include "FileNames.h"
#include "PrefetcherState.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace vistrel {

namespace {

// Workers given up by a forced end (or a destructor that stopped waiting) and still running.
std::atomic<int> abandonedCount{0};

// Below-normal priority for the worker: one niceness step, so that on a busy machine the window
// thread wins over a prefetch. (Only raising the niceness is allowed unprivileged; every worker
// is a new thread that starts from the window thread's niceness.)
constexpr int kWorkerNicenessStep = 1;

void lowerThreadPriority() {
    const id_t thread = static_cast<id_t>(gettid());
    errno = 0;
    const int niceness = getpriority(PRIO_PROCESS, thread);
    if (niceness == -1 && errno != 0) return;
    setpriority(PRIO_PROCESS, thread, niceness + kWorkerNicenessStep);
}

bool loadFile(CachedPicture& record, const char* path, const ScreenCopyPolicy& policy) {
    return record.load(path, policy);
}

} // namespace

CachedPicture* Prefetcher::State::current() {
    std::lock_guard guard(control);
    for (auto& slot : cacheSlots)
        if (slot && slot->relativePosition == 0 && slot->picture) return slot.get();
    return nullptr;
}

bool Prefetcher::State::hasPosition(int32_t position) const {
    for (const auto& slot : cacheSlots)
        if (slot && slot->relativePosition == position) return true;
    return false;
}

int32_t Prefetcher::State::indexOf(const CachedPicture& record) const {
    return folderList.indexOf(fileNameOf(record.path));
}

Prefetcher::Prefetcher(DecodeFunction decode) : state_(std::make_shared<State>()) {
    state_->decode = decode ? std::move(decode) : DecodeFunction(loadFile);
}

Prefetcher::~Prefetcher() {
    State& s = *state_;
    bool givenUp;
    {
        std::lock_guard guard(s.control);
        givenUp = s.abandoned;
    }
    if (!givenUp) endWorker(false);
    std::unique_lock guard(s.control);
    if (s.workerExists) {
        // Still decoding: it holds the state, and frees every record with it when it ends.
        abandonWorker();
        return;
    }
    guard.unlock();
    if (worker_.joinable()) worker_.join();
    for (auto& slot : s.cacheSlots)
        slot.reset();
}

void Prefetcher::setPolicy(const ScreenCopyPolicy& policy) {
    std::lock_guard guard(state_->control);
    state_->policy = policy;
    state_->changed.notify_all();
}

CachedPicture* Prefetcher::current() {
    return state_->current();
}

bool Prefetcher::open(const std::string& path) {
    State& s = *state_;
    auto record = std::make_unique<CachedPicture>();
    if (!s.decode(*record, path.c_str(), policyNow())) return false;
    stopWorker();
    for (auto& slot : s.cacheSlots)
        slot.reset();
    record->relativePosition = 0;
    s.cacheSlots[0] = std::move(record);
    {
        std::lock_guard guard(s.control);
        s.folderList.removeAll();
    }
    s.currentPath = path;
    // Its first run lists the folder and decodes the next picture (the previous one when the
    // opened file is the last of the folder).
    startWorker();
    return true;
}

bool Prefetcher::adopt(const BitmapDescription& bitmap) {
    State& s = *state_;
    auto record = std::make_unique<CachedPicture>();
    record->picture = std::make_unique<Picture>();
    if (!record->picture->adoptBitmap(bitmap)) return false;
    record->width = record->picture->width();
    record->height = record->picture->height();
    stopWorker();
    for (auto& slot : s.cacheSlots)
        slot.reset();
    s.cacheSlots[0] = std::move(record);
    return true;
}

bool Prefetcher::showPrevious() {
    State& s = *state_;
    stopWorker();
    s.direction = 0;
    CachedPicture* cur = s.current();
    if (!cur || s.indexOf(*cur) < 1) return false;
    if (stepBack()) return true;
    // The previous picture is not decoded yet: decode it now and wait for it.
    startWorker();
    waitForWorker();
    return stepBack();
}

bool Prefetcher::showNext() {
    State& s = *state_;
    stopWorker();
    s.direction = 1;
    CachedPicture* cur = s.current();
    if (!cur) return false;
    const int32_t index = s.indexOf(*cur);
    if (index < 0 || index >= s.folderList.count() - 1) return false;
    if (stepForward()) return true;
    startWorker();
    stopWorker();
    return stepForward();
}

bool Prefetcher::stepBack() {
    State& s = *state_;
    const int occupied = occupiedCount();
    if (!s.hasPosition(-1)) return false;
    shift(+1);
    if (s.hasPosition(-1)) return true;
    CachedPicture* cur = s.current();
    if (cur && s.indexOf(*cur) == 0) return true;
    if (occupied >= s.folderList.count()) return true; // the whole folder is held
    {
        std::lock_guard cacheLock(s.lock);
        if (occupied == kSlotCount) {
            // Travelling backward: drop the record farthest ahead.
            int victim = 0;
            int32_t greatest = 0;
            for (int i = 0; i < kSlotCount; ++i) {
                if (s.cacheSlots[i] && s.cacheSlots[i]->relativePosition > greatest) {
                    greatest = s.cacheSlots[i]->relativePosition;
                    victim = i;
                }
            }
            s.cacheSlots[victim].reset();
        }
    }
    startWorker();
    return true;
}

bool Prefetcher::stepForward() {
    State& s = *state_;
    const int occupied = occupiedCount();
    bool next = false, room = false;
    for (const auto& slot : s.cacheSlots) {
        if (!slot)
            room = true;
        else if (slot->relativePosition == 1)
            next = true;
    }
    // A cached next picture is used wherever its slot lies. Only without one is the worker sent
    // to decode it (an empty slot earlier in the array must not make it decode a second copy),
    // and the picture on show stays until a later step.
    if (!next) {
        if (!room) return false;
        startWorker();
        return true;
    }
    shift(-1);
    if (s.hasPosition(1)) return true;
    CachedPicture* cur = s.current();
    if (cur && s.indexOf(*cur) == s.folderList.count() - 1) return true;
    if (occupied >= s.folderList.count()) return true; // the whole folder is held
    {
        std::lock_guard cacheLock(s.lock);
        if (occupied == kSlotCount) {
            // Travelling forward: drop the record farthest behind.
            int victim = -1;
            for (int i = 0; i < kSlotCount; ++i) {
                if (s.cacheSlots[i] && (victim < 0 || s.cacheSlots[i]->relativePosition <
                                                          s.cacheSlots[victim]->relativePosition))
                    victim = i;
            }
            if (victim >= 0) s.cacheSlots[victim].reset();
        }
    }
    startWorker();
    return true;
}

void Prefetcher::shift(int32_t delta) {
    for (auto& slot : state_->cacheSlots)
        if (slot) slot->relativePosition += delta;
}

int Prefetcher::occupiedCount() const {
    int occupied = 0;
    for (const auto& slot : state_->cacheSlots)
        if (slot) ++occupied;
    return occupied;
}

void Prefetcher::startWorker() {
    State& s = *state_;
    std::unique_lock guard(s.control);
    // Let a running worker finish first, unless it is being stopped.
    s.changed.wait(guard, [&] { return !s.workerExists || s.stopRequest; });
    if (s.stopRequest) return;
    if (s.folderList.count() == 1) return;  // a one-picture folder has no neighbour
    if (worker_.joinable()) worker_.join(); // the last worker has ended; only its exit is left
    s.workerExists = true;
    try {
        worker_ = std::thread(runWorker, state_);
    } catch (const std::system_error&) {
        s.workerExists = false; // no thread to be had: no prefetch this time
    }
}

void Prefetcher::stopWorker() {
    State& s = *state_;
    std::unique_lock guard(s.control);
    if (s.workerExists) {
        s.stopRequest = true;
        s.changed.notify_all();
        s.changed.wait(guard, [&] { return !s.workerExists; });
    }
    guard.unlock();
    if (worker_.joinable()) worker_.join();
}

void Prefetcher::waitForWorker() {
    State& s = *state_;
    std::unique_lock guard(s.control);
    if (s.workerExists && !s.policy.windowExists) {
        // A suspended worker would never end by itself.
        s.stopRequest = true;
        s.changed.notify_all();
    }
    s.changed.wait(guard, [&] { return !s.workerExists; });
    guard.unlock();
    if (worker_.joinable()) worker_.join();
}

void Prefetcher::endWorker(bool force) {
    State& s = *state_;
    std::unique_lock guard(s.control);
    s.stopRequest = true;
    s.changed.notify_all();
    if (s.abandoned) return; // given up already
    const auto patience = force ? std::chrono::milliseconds(1) : std::chrono::milliseconds(1999);
    if (s.changed.wait_for(guard, patience, [&] { return !s.workerExists; })) {
        guard.unlock();
        if (worker_.joinable()) worker_.join();
        return;
    }
    // Closing never waits for a long decode. The worker cannot be killed safely, so it is left to
    // finish: it shares the state, and the process can end without waiting for it.
    if (force) abandonWorker();
}

void Prefetcher::abandonWorker() {
    State& s = *state_;
    if (!s.workerExists || s.abandoned) return;
    s.abandoned = true;
    abandonedCount.fetch_add(1);
    if (worker_.joinable()) worker_.detach();
}

ScreenCopyPolicy Prefetcher::policyNow() {
    std::lock_guard guard(state_->control);
    return state_->policy;
}

int32_t Prefetcher::folderCount() {
    std::lock_guard guard(state_->control);
    return state_->folderList.count();
}

std::string Prefetcher::folderPathAt(int32_t index) {
    std::lock_guard guard(state_->control);
    return state_->folderList.pathAt(index);
}

void Prefetcher::exitIfWorkerAbandoned(int status) {
    if (abandonedCount.load() == 0) return;
    // Static destructors, the platform layer and unloaded libraries could all be pulled from
    // under the decode; leave now instead.
    std::fflush(nullptr);
    std::_Exit(status);
}

int Prefetcher::abandonedWorkers() {
    return abandonedCount.load();
}

void Prefetcher::runWorker(std::shared_ptr<State> state) {
    lowerThreadPriority();
    {
        // Created suspended while the application has no main window yet.
        std::unique_lock guard(state->control);
        state->changed.wait(guard,
                            [&] { return state->policy.windowExists || state->stopRequest; });
    }
    decodeNeighbour(*state);
    bool wasAbandoned;
    {
        std::lock_guard guard(state->control);
        wasAbandoned = state->abandoned;
        state->abandoned = false;
        state->stopRequest = false;
        state->workerExists = false;
        state->changed.notify_all();
    }
    // After an abandonment this may be the last reference: every record is freed here.
    state.reset();
    if (wasAbandoned) abandonedCount.fetch_sub(1);
}

void Prefetcher::decodeNeighbour(State& s) {
    CachedPicture* cur = s.current();
    if (!cur) return;
    const std::string name(fileNameOf(cur->path));

    // The first run after an open lists the folder, and travels backward from its last file.
    FolderList& list = s.folderList;
    if (list.count() == 0) {
        FolderList built = list;
        built.build(s.currentPath);
        {
            std::lock_guard guard(s.control);
            list = std::move(built);
        }
        s.direction = 1;
        if (list.indexOf(name) == list.count() - 1) s.direction = 0;
    }

    int32_t index = list.indexOf(name);
    const bool forward = s.direction != 0;
    if (forward ? index >= list.count() - 1 : index <= 0) return;

    // Held from the choice of the slot through the whole decode.
    std::lock_guard cacheLock(s.lock);
    std::size_t slot = 0;
    while (slot < s.cacheSlots.size() && s.cacheSlots[slot])
        ++slot;
    if (slot == s.cacheSlots.size()) return;
    auto placed = std::make_unique<CachedPicture>();
    CachedPicture& record = *placed;
    record.relativePosition = forward ? 1 : -1;
    index += forward ? 1 : -1;
    {
        std::lock_guard guard(s.control);
        if (s.stopRequest) return; // stopped before the decode began: nothing is decoded
        s.cacheSlots[slot] = std::move(placed);
    }

    // A file that does not decode is dropped from the list and the next one in the direction of
    // travel is tried; the stop request is not looked at until a file decodes or none is left.
    bool decoded = false;
    for (;;) {
        ScreenCopyPolicy policy;
        {
            std::lock_guard guard(s.control);
            if (s.abandoned) break; // closing: nobody will look at the result
            policy = s.policy;
        }
        const std::string path = list.pathAt(index);
        if (path.empty()) break;
        if (s.decode(record, path.c_str(), policy)) {
            decoded = true;
            break;
        }
        {
            std::lock_guard guard(s.control);
            list.removeAt(index);
        }
        if (!forward) --index;
    }
    // Ran out of files: the slot is emptied. A placeholder left in it would count as a cached
    // picture, so that "the whole folder is held" could be wrongly concluded and the way back
    // stay blocked with every slot taken.
    if (!decoded) {
        std::lock_guard guard(s.control);
        s.cacheSlots[slot].reset();
    }
}

} // namespace vistrel
