// What the Prefetcher shares with its worker threads. The workers hold a reference, so an
// abandoned worker never outlives what it touches.
#pragma once

#include "FolderList.h"
#include "Prefetcher.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>

namespace vistrel {

using PrefetchClock = std::chrono::steady_clock;

// The window's arrival call, made at most once until the window polls: a burst of arrivals makes
// one call. Made with the control lock (or an opening's lock) held, so the call must take
// neither.
class Prefetcher::ArrivalCall {
public:
    // Returns once no call of the old one runs.
    void set(std::function<void()> call);
    // Something was handed over: calls, unless a call made earlier has not been polled for yet.
    void make();
    // The window polls: the next hand-over calls again. Called before the poll takes what was
    // handed over, so that nothing handed over meanwhile goes unannounced.
    void rearm();
    // Whether a call was made that the window has not polled for yet.
    bool made();

private:
    std::mutex mutex_;
    std::function<void()> call_;
    bool made_ = false;
};

// A file being opened and, once finished, its record (null when the decode failed).
class Prefetcher::Opening {
public:
    explicit Opening(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }
    // Its finish is announced through `call` (at once when it has finished already).
    void announceTo(std::shared_ptr<ArrivalCall> call);
    void finish(std::unique_ptr<CachedPicture> record);
    bool finished();
    bool waitFor(std::chrono::milliseconds patience);
    std::unique_ptr<CachedPicture> take();

private:
    const std::string path_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::unique_ptr<CachedPicture> record_;
    std::shared_ptr<ArrivalCall> announce_;
};

// One piece of work for a worker.
struct Prefetcher::Task {
    enum class Kind {
        List,    // list the folder of the current path
        Open,    // decode the file being opened
        Decode,  // decode a neighbour (reduced when large), the pending step's target first
        Upgrade, // the full decode of a reduced picture
    };
    Kind kind = Kind::List;
    std::string path;
    bool target = false; // Decode: the pending step's target, decoded whatever the budget
    uint64_t generation = 0;
    ScreenCopyPolicy policy;
    std::shared_ptr<Opening> opening;
};

struct Prefetcher::State {
    DecodeFunction decode;
    EstimateFunction estimate;
    // Shared with the openings, which may finish on a thread of their own.
    const std::shared_ptr<ArrivalCall> arrivalCall = std::make_shared<ArrivalCall>();

    // Guards everything below. The window thread changes the slots, the requests and the policy
    // under it; the workers only read the slots and change the folder list, the tasks and what
    // they hand over. The window thread reads the slots without it (nobody else changes them).
    // Of a record in a slot the workers read only its path, place, reduced() and budgetBytes:
    // the window may turn its pictures meanwhile.
    std::mutex control;
    // Announces new requests, finished tasks and the end to the workers and to requireFull.
    std::condition_variable changed;

    std::array<std::unique_ptr<CachedPicture>, kSlotCount> cacheSlots; // null = empty slot
    FolderList folderList;
    bool listed = false;     // the folder list is built for currentPath
    bool listing = false;    // a worker builds it now
    std::string currentPath; // the path last opened
    int32_t direction = 1;   // 1 forward (next), -1 backward (previous)
    ScreenCopyPolicy policy;
    uint64_t budget = 0;
    // Bumped whenever the pictures held are replaced (an open lands, a paste): work begun for the
    // old ones is dropped when it lands.
    uint64_t generation = 0;

    // Requests of the window thread.
    std::shared_ptr<Opening> opening; // the open under way
    bool openByWorker = false;        // a worker is to decode it (not another thread)
    int32_t stepRequest = 0;          // +1 / -1: a step waits for its picture
    bool urgentFull = false;          // requireFull waits
    uint64_t roomWanted = 0; // a neighbour of this many bytes fits once the pictures behind go
    PrefetchClock::time_point lastStep, previousStep;
    PrefetchClock::duration fastSteps = std::chrono::milliseconds(700);

    // Work under way and work done.
    std::vector<Task> running;
    struct Arrival {
        Task::Kind kind;
        std::string path;
        std::unique_ptr<CachedPicture> record; // null: the decode failed
        uint64_t generation;
    };
    std::vector<Arrival> arrivals;
    std::map<std::string, uint64_t> estimates; // held bytes by path, read from the headers
    std::set<std::string> skipped;             // neighbours the budget left out, until a step
    std::set<std::string> fullFailed;          // reduced pictures whose full decode failed

    // The workers.
    int workerCount = 1;
    int workersAlive = 0;
    int workersBusy = 0;
    bool stopRequest = false;
    bool abandoned = false; // the workers are detached: nobody waits for them

    CachedPicture* current();
    CachedPicture* atPosition(int32_t position);
    CachedPicture* withPath(const std::string& path);
    // The record's place in the folder list; a record without a path (a pasted bitmap) searches
    // for the empty name, which gives 0 for a non-empty list.
    int32_t indexOf(const CachedPicture& record) const;
    bool underWay(Task::Kind kind, const std::string& path) const;
    bool handedOver(Task::Kind kind, const std::string& path) const;
    // Bytes held by the slots, the records handed over and the decodes under way (but `besides`).
    uint64_t heldBytes(const std::string& besides = {}) const;
    // Bytes of the records behind the direction of travel: the first to go for a neighbour ahead.
    uint64_t bytesBehind() const;
    // Whether the last two steps came close together (a held key), and when that ends.
    bool steppingQuickly() const;
    PrefetchClock::time_point quietAt() const;
    // A reduced record whose full decode is neither under way, nor handed over, nor failed.
    bool needsFullDecode(const CachedPicture& record) const;
    // The most useful work to do now, if any; claim() marks it taken.
    std::optional<Task> findTask();
    void claim(const Task& task);
    // Whether a picture of `needed` bytes more fits in the budget. When it fits only once the
    // pictures behind the direction of travel go, asks the window thread for that room first;
    // when it does not fit at all, leaves the file out until the next step (debug log).
    bool fitsBudget(const Task& task, uint64_t needed);

    // What landed since the window last polled.
    Changes unreported;
};

} // namespace vistrel
