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
        Reload,  // the picture on show again, its file written since
    };
    Kind kind = Kind::List;
    std::string path;
    bool target = false; // Decode: the pending step's target, decoded whatever the budget
    uint64_t generation = 0;
    uint64_t writes = 0; // State::writes when it was claimed
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

    // Where steps go from while no picture is on show: the file that failed to open, or the one
    // that left the list for the trash. Empty: none.
    std::string place;

    // Requests of the window thread.
    std::shared_ptr<Opening> opening; // the open under way
    bool openByWorker = false;        // a worker is to decode it (not another thread)
    // The list the open under way keeps instead of listing the opened file's folder: the files a
    // command line named, or the list a step goes through.
    std::optional<FolderList> openingList;
    // For an open that is a step (from a place, to the first or last picture, after a file left
    // the list): the direction the step goes on in when the file does not decode. 0: an open of
    // its own, which stops at a file that does not decode.
    int32_t openingStep = 0;
    int32_t stepRequest = 0; // +1 / -1: a step waits for its picture
    std::string fullWanted;  // the picture on show whose full decode the window wants
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
        uint64_t writes;
    };
    std::vector<Arrival> arrivals;
    std::map<std::string, uint64_t> estimates; // held bytes by path, read from the headers
    std::set<std::string> skipped;             // neighbours the budget left out, until a step
    std::set<std::string> fullFailed;          // reduced pictures whose full decode failed

    // The folder changing under the list (fileWritten, fileRemoved).
    uint64_t writes = 0;                       // files written or removed so far
    std::map<std::string, uint64_t> writtenAt; // by path, `writes` at its last change: a decode
                                               // claimed before it is of the old file
    std::string reloadPath;                    // the picture on show, to be decoded again
    std::string goneOnShow; // the picture on show whose file left: listed until it is not on show
    // Changes met while a worker lists the folder, for the list it makes: (written, name).
    std::vector<std::pair<bool, std::string>> changedWhileListing;
    bool relist = false; // the changes were too many to follow: the listing under way is stale
    // The list changed under the records held (a worker listed the folder anew, or dropped a
    // file that failed): the window thread places them again.
    bool placesStale = false;
    // Whether `arrival` was decoded from a file written since.
    bool stale(const Arrival& arrival) const;

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

    // Opens `path` as a step in `direction` through the list being stepped through.
    void openStepping(const std::string& path, int32_t direction);
    // The file `delta` places from the place (see `place`) in the list; empty when there is none.
    std::string besidePlace(int32_t delta) const;
    // A step with no picture on show: from the place, once the list is there.
    Step stepFromPlace(int32_t delta);
    // An open failed: with no picture on show, the failed file becomes the place (in the list the
    // open kept, else in its folder); a step goes on past it. True when it goes on (the open is
    // not over).
    bool goOnAfterFailure(const std::string& path, std::optional<FolderList> list,
                          int32_t stepping);

    // What landed since the window last polled.
    Changes unreported;
};

} // namespace vistrel
