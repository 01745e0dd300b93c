#include "Prefetcher.h"

#include "DebugLog.h"
#include "FileNames.h"
#include "PictureSize.h"
#include "PrefetcherState.h"
#include "System.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace vistrel {

namespace {

// Decodes given up by a forced end (or a destructor that stopped waiting), and start-up decodes,
// still running.
std::atomic<int> abandonedCount{0};

// Two workers use both cores of a small machine: one decodes the picture the key lands on next
// while the other decodes the one after it, or the full decode of the picture on show.
constexpr int kMostWorkers = 2;
constexpr uint64_t kLargestBudget = uint64_t(4) << 30;

bool loadFile(CachedPicture& record, const char* path, const ScreenCopyPolicy& policy) {
    return record.load(path, policy).ok();
}

uint64_t defaultBudget() {
    const uint64_t memory = physicalMemoryBytes();
    return memory ? std::min(kLargestBudget, memory / 2) : kLargestBudget;
}

unsigned long long megabytes(uint64_t bytes) {
    return (bytes + (uint64_t(1) << 20) - 1) >> 20;
}

// How useful a record at `position` is to a user travelling in `direction`: lower is better.
// Pictures ahead come first, nearest first; pictures behind after every picture ahead.
int32_t distanceAlongTravel(int32_t position, int32_t direction) {
    const int32_t ahead = position * direction;
    return ahead >= 0 ? ahead : Prefetcher::kSlotCount + -ahead;
}

// The folder part of `path`, with its "/"; empty when it has none.
std::string_view folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

} // namespace

// --- the arrival call

void Prefetcher::ArrivalCall::set(std::function<void()> call) {
    std::lock_guard guard(mutex_);
    call_ = std::move(call);
    made_ = false;
}

void Prefetcher::ArrivalCall::make() {
    std::lock_guard guard(mutex_);
    if (!call_ || made_) return;
    made_ = true;
    call_();
}

void Prefetcher::ArrivalCall::rearm() {
    std::lock_guard guard(mutex_);
    made_ = false;
}

bool Prefetcher::ArrivalCall::made() {
    std::lock_guard guard(mutex_);
    return made_;
}

// --- openings

void Prefetcher::Opening::announceTo(std::shared_ptr<ArrivalCall> call) {
    std::lock_guard guard(mutex_);
    announce_ = std::move(call);
    if (finished_) announce_->make();
}

void Prefetcher::Opening::finish(std::unique_ptr<CachedPicture> record) {
    std::lock_guard guard(mutex_);
    record_ = std::move(record);
    finished_ = true;
    // Announced before a waiter wakes: whoever sees the opening finished sees the call made.
    if (announce_) announce_->make();
    done_.notify_all();
}

bool Prefetcher::Opening::finished() {
    std::lock_guard guard(mutex_);
    return finished_;
}

bool Prefetcher::Opening::waitFor(std::chrono::milliseconds patience) {
    std::unique_lock guard(mutex_);
    return done_.wait_for(guard, patience, [&] { return finished_; });
}

std::unique_ptr<CachedPicture> Prefetcher::Opening::take() {
    std::lock_guard guard(mutex_);
    return std::move(record_);
}

std::shared_ptr<Prefetcher::Opening>
Prefetcher::startOpening(const std::string& path,
                         std::function<bool(CachedPicture&, const char* path)> decode) {
    auto opening = std::make_shared<Opening>(path);
    auto run = [opening, decode = std::move(decode)] {
        auto record = std::make_unique<CachedPicture>();
        const bool decoded = decode(*record, opening->path().c_str());
        opening->finish(decoded ? std::move(record) : nullptr);
    };
    // Nobody joins this thread: the window comes up without waiting for it when it takes long,
    // and the process may end under it like under an abandoned worker.
    abandonedCount.fetch_add(1);
    try {
        std::thread([run] {
            run();
            abandonedCount.fetch_sub(1);
        }).detach();
    } catch (const std::system_error&) {
        abandonedCount.fetch_sub(1);
        run(); // no thread to be had: decoded here, before the toolkit comes up
    }
    return opening;
}

bool Prefetcher::waitForOpening(Opening& opening, std::chrono::milliseconds patience) {
    return opening.waitFor(patience);
}

// --- what the workers see

CachedPicture* Prefetcher::State::current() {
    return atPosition(0);
}

CachedPicture* Prefetcher::State::atPosition(int32_t position) {
    for (auto& slot : cacheSlots)
        if (slot && slot->relativePosition == position) return slot.get();
    return nullptr;
}

CachedPicture* Prefetcher::State::withPath(const std::string& path) {
    for (auto& slot : cacheSlots)
        if (slot && slot->path == path) return slot.get();
    return nullptr;
}

int32_t Prefetcher::State::indexOf(const CachedPicture& record) const {
    return folderList.placeOf(record.path);
}

bool Prefetcher::State::underWay(Task::Kind kind, const std::string& path) const {
    return std::any_of(running.begin(), running.end(), [&](const Task& task) {
        return task.kind == kind && task.path == path && task.generation == generation;
    });
}

bool Prefetcher::State::handedOver(Task::Kind kind, const std::string& path) const {
    return std::any_of(arrivals.begin(), arrivals.end(), [&](const Arrival& arrival) {
        return arrival.kind == kind && arrival.path == path && arrival.generation == generation;
    });
}

uint64_t Prefetcher::State::heldBytes(const std::string& besides) const {
    uint64_t held = 0;
    if (const auto frames = framesHeld.lock()) held += frames->load();
    for (const auto& slot : cacheSlots)
        if (slot) held += slot->budgetBytes;
    for (const Arrival& arrival : arrivals)
        if (arrival.record) held += arrival.record->heldBytes();
    for (const Task& task : running) {
        if (task.kind != Task::Kind::Decode && task.kind != Task::Kind::Upgrade) continue;
        if (task.path == besides) continue;
        const auto known = estimates.find(task.path);
        if (known != estimates.end()) held += known->second;
    }
    return held;
}

uint64_t Prefetcher::State::bytesBehind() const {
    uint64_t behind = 0;
    for (const auto& slot : cacheSlots)
        if (slot && slot->relativePosition * direction < 0) behind += slot->budgetBytes;
    return behind;
}

bool Prefetcher::State::stale(const Arrival& arrival) const {
    const auto written = writtenAt.find(arrival.path);
    return written != writtenAt.end() && written->second > arrival.writes;
}

bool Prefetcher::State::needsFullDecode(const CachedPicture& record) const {
    return record.reduced() && !fullFailed.count(record.path) &&
           !underWay(Task::Kind::Upgrade, record.path) &&
           !handedOver(Task::Kind::Upgrade, record.path);
}

std::optional<Prefetcher::Task> Prefetcher::State::findTask() {
    if (stopRequest || abandoned) return {};
    Task task;
    task.generation = generation;
    task.writes = writes;
    task.policy = policy;
    if (opening && openByWorker) {
        task.kind = Task::Kind::Open;
        task.path = opening->path();
        task.opening = opening;
        return task;
    }
    // A step needs the folder list even before the window exists.
    if (!listed && !listing && !currentPath.empty() && (policy.windowExists || stepRequest)) {
        task.kind = Task::Kind::List;
        task.path = currentPath;
        return task;
    }
    CachedPicture* shown = current();
    if (!shown) return {};
    // A file saved over the picture on show: the user waits to see it.
    if (!reloadPath.empty()) {
        if (withPath(reloadPath)) {
            task.kind = Task::Kind::Reload;
            task.path = reloadPath;
            return task;
        }
        reloadPath.clear(); // its record went meanwhile
    }
    task.policy.screenCopyOnly = false;
    // A stand-in smaller than its screen copy (a HEIF thumbnail) is followed by its full decode.
    if ((fullWanted == shown->path || shown->coarse()) && needsFullDecode(*shown)) {
        task.kind = Task::Kind::Upgrade;
        task.path = shown->path;
        return task;
    }
    task.policy.screenCopyOnly = policy.screenCopyOnly;
    if (stepRequest != 0 && listed) {
        const std::string path = folderList.pathAt(indexOf(*shown) + stepRequest);
        if (!path.empty() && !atPosition(stepRequest) && !underWay(Task::Kind::Decode, path) &&
            !handedOver(Task::Kind::Decode, path)) {
            task.kind = Task::Kind::Decode;
            task.path = path;
            task.target = true;
            return task;
        }
    }
    // Nothing is decoded ahead of time before the window exists: the start-up has the machine.
    if (!policy.windowExists) return {};
    const bool quick = steppingQuickly();
    if (listed && roomWanted == 0) {
        // The next pictures in the direction of travel: one, or two while the user steps quickly
        // (a held key), so that both workers decode ahead.
        const int32_t ahead = quick ? 2 : 1;
        const int32_t index = indexOf(*shown);
        for (int32_t d = 1; d <= ahead; ++d) {
            const std::string path = folderList.pathAt(index + d * direction);
            if (path.empty()) break;
            if (atPosition(d * direction) || withPath(path) || underWay(Task::Kind::Decode, path) ||
                handedOver(Task::Kind::Decode, path))
                continue;
            if (skipped.count(path)) break;
            task.kind = Task::Kind::Decode;
            task.path = path;
            // Not waited for: held to the size it is kept at while it decodes.
            task.policy.reducePng = true;
            return task;
        }
    }
    // Full decodes wait while a key is held: the reduced ones are what it shows. A window that
    // shows pictures fitted to the screen wants their copies alone: full decodes only on request.
    if (quick || policy.screenCopyOnly) return {};
    task.policy.screenCopyOnly = false;
    task.kind = Task::Kind::Upgrade;
    if (needsFullDecode(*shown)) {
        task.path = shown->path;
        return task;
    }
    // The neighbours at full resolution where the budget allows, nearest first.
    for (int32_t d = 1; d < kSlotCount; ++d) {
        for (const int32_t position : {d * direction, -d * direction}) {
            const CachedPicture* record = atPosition(position);
            if (record && needsFullDecode(*record) && !skipped.count(record->path)) {
                task.path = record->path;
                return task;
            }
        }
    }
    return {};
}

bool Prefetcher::State::steppingQuickly() const {
    return PrefetchClock::now() < quietAt() && lastStep - previousStep < fastSteps;
}

PrefetchClock::time_point Prefetcher::State::quietAt() const {
    return lastStep + fastSteps;
}

void Prefetcher::State::claim(const Task& task) {
    if (task.kind == Task::Kind::Open) openByWorker = false;
    if (task.kind == Task::Kind::List) listing = true;
    if (task.kind == Task::Kind::Reload) reloadPath.clear();
    running.push_back(task);
}

bool Prefetcher::State::fitsBudget(const Task& task, uint64_t needed) {
    const uint64_t held = heldBytes(task.path);
    if (held + needed <= budget) return true;
    const bool ahead = task.kind == Task::Kind::Decode;
    if (ahead && held - std::min(held, bytesBehind()) + needed <= budget) {
        // The pictures behind the direction of travel make room on the window thread first.
        roomWanted = needed;
        arrivalCall->make();
        return false;
    }
    skipped.insert(task.path);
    debugLog("prefetch: %s not decoded ahead: %llu MB more would pass the budget of %llu MB "
             "(%llu MB held)",
             task.path.c_str(), megabytes(needed), megabytes(budget), megabytes(held));
    return false;
}

// --- the workers

void Prefetcher::runWorker(std::shared_ptr<State> state) {
    // Below the window thread: on a busy machine the window (and the display server drawing its
    // frames) wins over a prefetch.
    lowerThreadPriority();
    State& s = *state;
    std::unique_lock guard(s.control);
    for (;;) {
        std::optional<Task> task;
        auto ready = [&] { return s.stopRequest || (task = s.findTask()); };
        // While a key is held some work waits for it to stop: then the worker looks again.
        while (!ready()) {
            if (s.steppingQuickly())
                s.changed.wait_until(guard, s.quietAt());
            else
                s.changed.wait(guard);
        }
        if (s.stopRequest) break;
        s.claim(*task);
        ++s.workersBusy;
        guard.unlock();
        runTask(s, *task);
        guard.lock();
        const auto done = std::find_if(s.running.begin(), s.running.end(), [&](const Task& t) {
            return t.kind == task->kind && t.path == task->path && t.generation == task->generation;
        });
        if (done != s.running.end()) s.running.erase(done);
        --s.workersBusy;
        s.changed.notify_all();
    }
    --s.workersAlive;
    const bool wasAbandoned = s.abandoned;
    s.changed.notify_all();
    guard.unlock();
    // After an abandonment this may be the last reference: every record is freed here.
    state.reset();
    if (wasAbandoned) abandonedCount.fetch_sub(1);
}

bool Prefetcher::worthDecoding(State& s, const Task& task) {
    using Kind = Task::Kind;
    // The pictures the window asked for are decoded whatever they take: a step's target, and the
    // full decode of the picture on show.
    if (task.kind == Kind::Decode && task.target) return true;
    bool known = false;
    uint64_t estimate = 0;
    {
        std::lock_guard guard(s.control);
        if (task.generation != s.generation) return false;
        if (task.kind == Kind::Upgrade) {
            const CachedPicture* record = s.withPath(task.path);
            if (!record || !record->reduced()) return false; // gone meanwhile
            if (record->relativePosition == 0) return true;
        }
        const auto found = s.estimates.find(task.path);
        known = found != s.estimates.end();
        if (known) estimate = found->second;
    }
    // Anything else only within the budget: its size is read from the file's header first.
    if (!known) estimate = s.estimate(task.path.c_str(), task.policy);
    std::lock_guard guard(s.control);
    s.estimates[task.path] = estimate;
    if (task.generation != s.generation) return false;
    uint64_t needed = estimate;
    if (task.kind == Kind::Upgrade) {
        const CachedPicture* record = s.withPath(task.path);
        if (!record || !record->reduced()) return false;
        needed -= std::min(needed, record->budgetBytes);
    }
    return s.fitsBudget(task, needed);
}

void Prefetcher::runTask(State& s, Task& task) {
    using Kind = Task::Kind;
    if (task.kind == Kind::List) {
        FolderList built;
        {
            std::lock_guard guard(s.control);
            built = s.folderList;
        }
        built.build(task.path);
        std::lock_guard guard(s.control);
        s.listing = false;
        const auto changedMeanwhile = std::exchange(s.changedWhileListing, {});
        if (task.generation != s.generation || std::exchange(s.relist, false)) return;
        // What changed after the folder was read; in order, each change is the same whether the
        // reading saw it or not.
        for (const auto& [written, name] : changedMeanwhile) {
            if (written)
                built.add(name);
            else if (const int32_t index = built.findName(name); index >= 0)
                built.removeAt(index);
        }
        // A picture on show whose file left keeps its place for the steps from it.
        if (!s.goneOnShow.empty()) built.add(fileNameOf(s.goneOnShow));
        s.folderList = std::move(built);
        s.listed = true;
        // A step from the place waited for the list.
        if (s.stepRequest != 0 && !s.current()) s.arrivalCall->make();
        // Opened at the last file of its folder: the picture wanted next is the previous one.
        if (const CachedPicture* shown = s.current()) {
            const int32_t index = s.indexOf(*shown);
            s.direction = index >= 0 && index == s.folderList.count() - 1 ? -1 : 1;
        }
        // Listed anew under neighbours held (the folder changed): the window places them again.
        if (std::count_if(s.cacheSlots.begin(), s.cacheSlots.end(),
                          [](const auto& slot) { return slot != nullptr; }) > 1) {
            s.placesStale = true;
            s.arrivalCall->make();
        }
        return;
    }
    if (task.kind == Kind::Open) {
        auto record = std::make_unique<CachedPicture>();
        const bool decoded = s.decode(*record, task.path.c_str(), task.policy);
        task.opening->finish(decoded ? std::move(record) : nullptr);
        return;
    }

    // The picture on show is decoded again whatever it takes, as it was the first time.
    if (task.kind != Kind::Reload && !worthDecoding(s, task)) return;
    auto record = std::make_unique<CachedPicture>();
    const bool decoded = s.decode(*record, task.path.c_str(), task.policy);
    std::lock_guard guard(s.control);
    State::Arrival arrival{task.kind, task.path, decoded ? std::move(record) : nullptr,
                           task.generation, task.writes};
    // A file that does not decode is dropped from the list, unless it was being written: the
    // next one in the direction of travel is tried by the next task.
    if (!decoded && task.kind == Kind::Decode && task.generation == s.generation &&
        !s.stale(arrival)) {
        const int32_t index = s.folderList.find(task.path);
        if (index >= 0) s.folderList.removeAt(index);
        s.placesStale = true;
    }
    if (!decoded && task.kind == Kind::Reload)
        debugLog("%s changed and does not load now: the picture on show stays", task.path.c_str());
    s.arrivals.push_back(std::move(arrival));
    s.arrivalCall->make();
}

// --- the window thread

Prefetcher::Prefetcher(DecodeFunction decode, EstimateFunction estimate)
    : state_(std::make_shared<State>()) {
    state_->decode = decode ? std::move(decode) : DecodeFunction(loadFile);
    state_->estimate = estimate ? std::move(estimate) : EstimateFunction(estimateHeldBytes);
    state_->budget = defaultBudget();
    state_->workerCount = std::thread::hardware_concurrency() >= 2 ? kMostWorkers : 1;
}

Prefetcher::~Prefetcher() {
    // A worker left to finish alone must not call into a window that is gone.
    state_->arrivalCall->set({});
    endWorker(false);
}

void Prefetcher::startWorkers() {
    State& s = *state_;
    std::lock_guard guard(s.control);
    if (s.stopRequest) return;
    while (s.workersAlive < s.workerCount) {
        try {
            workers_.emplace_back(runWorker, state_);
        } catch (const std::system_error&) {
            break; // no thread to be had: fewer workers
        }
        ++s.workersAlive;
    }
}

void Prefetcher::setPolicy(const ScreenCopyPolicy& policy) {
    {
        std::lock_guard guard(state_->control);
        state_->policy = policy;
        state_->changed.notify_all();
    }
    if (policy.windowExists) startWorkers();
}

void Prefetcher::setArrivalCall(std::function<void()> call) {
    state_->arrivalCall->set(std::move(call));
}

bool Prefetcher::decodesAhead() {
    std::lock_guard guard(state_->control);
    return state_->policy.windowExists;
}

void Prefetcher::setMemoryBudget(uint64_t bytes) {
    std::lock_guard guard(state_->control);
    state_->budget = bytes;
    state_->skipped.clear();
    state_->changed.notify_all();
}

uint64_t Prefetcher::memoryBudget() {
    std::lock_guard guard(state_->control);
    return state_->budget;
}

void Prefetcher::countFramesHeld(std::weak_ptr<const std::atomic<uint64_t>> reserved) {
    std::lock_guard guard(state_->control);
    state_->framesHeld = std::move(reserved);
}

CachedPicture* Prefetcher::current() {
    // Only this thread changes the slots, so they are read without the lock.
    CachedPicture* shown = state_->current();
    return shown && shown->showable() ? shown : nullptr;
}

void Prefetcher::open(const std::string& path, std::vector<std::string> list) {
    beginOpen(std::make_shared<Opening>(path), std::move(list), true);
}

void Prefetcher::open(std::shared_ptr<Opening> opening, std::vector<std::string> list) {
    beginOpen(std::move(opening), std::move(list), false);
}

void Prefetcher::beginOpen(std::shared_ptr<Opening> opening, std::vector<std::string> list,
                           bool byWorker) {
    {
        std::lock_guard guard(state_->control);
        State& s = *state_;
        s.opening = std::move(opening);
        s.opening->announceTo(s.arrivalCall);
        s.openByWorker = byWorker;
        s.openingList.reset();
        if (!list.empty()) s.openingList.emplace().assign(std::move(list));
        s.openingStep = 0;
        s.stepRequest = 0;
        s.changed.notify_all();
    }
    startWorkers();
}

bool Prefetcher::adopt(const BitmapDescription& bitmap) {
    State& s = *state_;
    auto record = std::make_unique<CachedPicture>();
    record->picture = std::make_unique<Picture>();
    if (!record->picture->adoptBitmap(bitmap)) return false;
    record->width = record->picture->width();
    record->height = record->picture->height();
    std::vector<std::unique_ptr<CachedPicture>> freed;
    std::lock_guard guard(s.control);
    for (auto& slot : s.cacheSlots)
        if (slot) freed.push_back(std::move(slot));
    for (State::Arrival& arrival : s.arrivals)
        if (arrival.record) freed.push_back(std::move(arrival.record));
    s.arrivals.clear();
    record->budgetBytes = record->heldBytes();
    s.cacheSlots[0] = std::move(record);
    // The paste is the newest request: an open or a step under way no longer lands.
    s.opening.reset();
    s.stepRequest = 0;
    s.roomWanted = 0;
    ++s.generation;
    s.fullWanted.clear();
    s.changed.notify_all();
    return true;
}

Prefetcher::Step Prefetcher::showPrevious() {
    return step(-1);
}

Prefetcher::Step Prefetcher::showNext() {
    return step(+1);
}

Prefetcher::Step Prefetcher::step(int32_t delta) {
    State& s = *state_;
    std::vector<std::unique_ptr<CachedPicture>> freed;
    Step result = Step::None;
    {
        std::lock_guard guard(s.control);
        integrate(freed);
        // While a file is being opened, the folder being stepped through is about to go.
        if (s.opening) return Step::None;
        const CachedPicture* shown = s.current();
        if (!shown) {
            result = s.stepFromPlace(delta);
            s.changed.notify_all();
        } else {
            if (s.listed) {
                const int32_t index = s.indexOf(*shown);
                if (delta > 0 ? index < 0 || index >= s.folderList.count() - 1 : index < 1)
                    return Step::None; // no wrap-around
            }
            s.direction = delta;
            s.previousStep = s.lastStep;
            s.lastStep = PrefetchClock::now();
            s.skipped.clear();
            if (s.atPosition(delta)) {
                shift(delta, freed);
                s.stepRequest = 0;
                dropGoneOnShow(freed);
                trim(freed);
                result = Step::Shown;
            } else {
                // Stays put: the picture on show changes when the neighbour lands. A key pressed
                // again meanwhile asks for nothing more.
                s.stepRequest = delta;
                result = Step::Pending;
            }
            s.changed.notify_all();
        }
    }
    startWorkers();
    return result;
}

Prefetcher::Step Prefetcher::showFirst() {
    return showEnd(false);
}

Prefetcher::Step Prefetcher::showLast() {
    return showEnd(true);
}

Prefetcher::Step Prefetcher::showEnd(bool last) {
    State& s = *state_;
    std::vector<std::unique_ptr<CachedPicture>> freed;
    Step result = Step::None;
    {
        std::lock_guard guard(s.control);
        integrate(freed);
        const int32_t count = s.folderList.count();
        if (s.opening || !s.listed || count == 0) return Step::None;
        const int32_t target = last ? count - 1 : 0;
        const CachedPicture* shown = s.current();
        const int32_t index = shown ? s.folderList.find(shown->path) : -1;
        if (shown && index == target) return Step::None;
        const int32_t distance = target - index;
        s.stepRequest = 0;
        if (index >= 0 && std::abs(distance) < kSlotCount && s.atPosition(distance)) {
            shift(distance, freed);
            s.direction = distance > 0 ? 1 : -1;
            dropGoneOnShow(freed);
            trim(freed);
            result = Step::Shown;
        } else {
            // Past the first file that does not decode, the next one towards the other end.
            s.openStepping(s.folderList.pathAt(target), last ? -1 : 1);
            result = Step::Pending;
        }
        s.changed.notify_all();
    }
    startWorkers();
    return result;
}

Prefetcher::Step Prefetcher::dropShown() {
    State& s = *state_;
    std::vector<std::unique_ptr<CachedPicture>> freed;
    Step result = Step::None;
    {
        std::lock_guard guard(s.control);
        integrate(freed);
        CachedPicture* shown = s.current();
        if (!shown || s.opening) return Step::None;
        const std::string path = shown->path;
        const int32_t index = s.listed ? s.folderList.find(path) : -1;
        // The picture after it, or at the end of the list the one before it.
        const int32_t delta = index >= 0 && index + 1 < s.folderList.count() ? 1 : -1;
        s.stepRequest = 0;
        if (index >= 0 && s.atPosition(delta)) {
            shift(delta, freed);
            for (auto& slot : s.cacheSlots) {
                if (!slot) continue;
                if (slot->relativePosition == -delta)
                    freed.push_back(std::move(slot));
                else if (delta > 0 && slot->relativePosition < 0)
                    ++slot->relativePosition; // the ones before it move up with the list
            }
            s.folderList.removeAt(index);
            s.direction = delta;
            result = Step::Shown;
        } else {
            // Not decoded yet: it is opened as a step from the place the file left.
            const std::string next = index >= 0 ? s.folderList.pathAt(index + delta) : "";
            s.folderList.removeAt(index);
            for (auto& slot : s.cacheSlots)
                if (slot) freed.push_back(std::move(slot));
            ++s.generation; // work begun for the pictures held is dropped
            s.place = path;
            s.currentPath = path;
            if (!next.empty()) {
                s.openStepping(next, delta);
                result = Step::Pending;
            }
        }
        s.changed.notify_all();
    }
    startWorkers();
    return result;
}

void Prefetcher::State::openStepping(const std::string& path, int32_t direction) {
    opening = std::make_shared<Opening>(path);
    opening->announceTo(arrivalCall);
    openByWorker = true;
    openingList = folderList;
    openingStep = direction;
    stepRequest = 0;
}

std::string Prefetcher::State::besidePlace(int32_t delta) const {
    const int32_t at = folderList.placeOf(place);
    if (at < 0) return {};
    // A file that is not listed (it is missing, or left the list) stands between its neighbours.
    const bool listedThere = folderList.find(place) >= 0;
    return folderList.pathAt(delta > 0 ? at + (listedThere ? 1 : 0) : at - 1);
}

bool Prefetcher::State::goOnAfterFailure(const std::string& path, std::optional<FolderList> list,
                                         int32_t stepping) {
    const CachedPicture* shown = current();
    if (!shown) {
        // Nothing on show: the steps go from the failed file's place in its list.
        place = path;
        currentPath = path;
        ++generation;
        folderList.removeAll();
        listed = false;
        if (list) {
            folderList = std::move(*list);
            listed = true;
        }
    }
    // The picture on show, if any, stays, and its list.
    if (stepping == 0 || !listed) return false;
    // A step goes on past a file that does not decode, as a step between pictures does; the
    // file then leaves the list. At the end of the list it stays, as the place to step back from.
    const int32_t index = folderList.find(path);
    const std::string next = index >= 0 ? folderList.pathAt(index + stepping) : "";
    if (next.empty() || (shown && next == shown->path)) return false;
    folderList.removeAt(index);
    openStepping(next, stepping);
    return true;
}

Prefetcher::Step Prefetcher::State::stepFromPlace(int32_t delta) {
    if (place.empty()) return Step::None;
    if (!listed) {
        // Its folder is being listed: the step is taken once it is (integrate).
        stepRequest = delta;
        return Step::Pending;
    }
    const std::string target = besidePlace(delta);
    if (target.empty()) return Step::None;
    openStepping(target, delta);
    return Step::Pending;
}

void Prefetcher::shift(int32_t delta, std::vector<std::unique_ptr<CachedPicture>>& freed) {
    State& s = *state_;
    s.fullWanted.clear();
    for (auto& slot : s.cacheSlots) {
        if (!slot) continue;
        slot->relativePosition -= delta;
        // The neighbours are held as their screen copies where the window wants no more: the
        // picture stepped away from gives its full decode up.
        if (slot->relativePosition == 0 || !s.policy.screenCopyOnly) continue;
        if (std::unique_ptr<Picture> dropped = slot->dropFullPicture()) {
            slot->budgetBytes = slot->heldBytes();
            // Freed with the records that go, once the lock is released.
            freed.push_back(std::make_unique<CachedPicture>());
            freed.back()->picture = std::move(dropped);
        }
    }
}

Prefetcher::Changes Prefetcher::integrate(std::vector<std::unique_ptr<CachedPicture>>& freed) {
    State& s = *state_;
    Changes& changes = s.unreported;

    if (s.opening && s.opening->finished()) {
        std::unique_ptr<CachedPicture> record = s.opening->take();
        const std::string path = s.opening->path();
        s.opening.reset();
        s.openByWorker = false;
        std::optional<FolderList> list = std::exchange(s.openingList, std::nullopt);
        const int32_t stepping = std::exchange(s.openingStep, 0);
        if (record) {
            for (auto& slot : s.cacheSlots)
                if (slot) freed.push_back(std::move(slot));
            record->relativePosition = 0;
            record->budgetBytes = record->heldBytes();
            s.cacheSlots[0] = std::move(record);
            // Its folder is listed anew by a worker, which then decodes a neighbour (the
            // previous one when the opened file is the last of its folder), unless the open
            // keeps a list of its own.
            s.folderList.removeAll();
            s.listed = false;
            if (list) {
                s.folderList = std::move(*list);
                s.listed = true;
            }
            s.currentPath = path;
            s.place.clear();
            const int32_t index = s.folderList.find(path);
            s.direction = s.listed && index >= 0 && index == s.folderList.count() - 1 ? -1 : 1;
            s.stepRequest = 0;
            s.roomWanted = 0;
            ++s.generation;
            s.fullWanted.clear();
            s.estimates.clear();
            s.skipped.clear();
            s.fullFailed.clear();
            s.writtenAt.clear();
            s.reloadPath.clear();
            s.goneOnShow.clear();
            s.changedWhileListing.clear();
            s.relist = false;
            changes.shown = true;
        } else if (!s.goOnAfterFailure(path, std::move(list), stepping)) {
            changes.openFailed = true;
        }
    }

    if (std::exchange(s.placesStale, false)) reposition(freed);
    for (State::Arrival& arrival : s.arrivals) {
        if (arrival.generation != s.generation || s.stale(arrival)) {
            if (arrival.record) freed.push_back(std::move(arrival.record));
            continue;
        }
        if (arrival.kind == Task::Kind::Reload) {
            reload(std::move(arrival.record), freed);
        } else if (arrival.kind == Task::Kind::Upgrade) {
            CachedPicture* held = s.withPath(arrival.path);
            if (!arrival.record) {
                s.fullFailed.insert(arrival.path);
            } else if (held && held->reduced()) {
                held->takeFullDecode(*arrival.record);
                held->budgetBytes = held->heldBytes();
                if (held->relativePosition == 0) changes.upgraded = true;
            }
            if (arrival.path == s.fullWanted) s.fullWanted.clear();
        } else if (arrival.record) {
            place(std::move(arrival.record), freed);
        }
        if (arrival.record) freed.push_back(std::move(arrival.record));
    }
    s.arrivals.clear();

    if (s.stepRequest != 0 && !s.current()) {
        // A step from the place waited for its folder's list.
        const int32_t delta = std::exchange(s.stepRequest, 0);
        if (s.listed && !s.opening) s.stepFromPlace(delta);
    }
    if (s.stepRequest != 0 && s.current()) {
        if (s.atPosition(s.stepRequest)) {
            shift(s.stepRequest, freed);
            s.stepRequest = 0;
            dropGoneOnShow(freed);
            changes.shown = true;
        } else if (s.listed &&
                   s.folderList.pathAt(s.indexOf(*s.current()) + s.stepRequest).empty()) {
            s.stepRequest = 0; // every file that way failed to decode: the step is over
        }
    }
    trim(freed);
    // Nothing claimed before the last change is still under way.
    if (s.running.empty()) s.writtenAt.clear();
    s.changed.notify_all();
    return changes;
}

void Prefetcher::reload(std::unique_ptr<CachedPicture> record,
                        std::vector<std::unique_ptr<CachedPicture>>& freed) {
    State& s = *state_;
    if (!record) return; // it does not load now: the old picture stays
    const auto held = std::find_if(s.cacheSlots.begin(), s.cacheSlots.end(), [&](const auto& slot) {
        return slot && slot->path == record->path;
    });
    if (held == s.cacheSlots.end()) {
        place(std::move(record), freed); // stepped away meanwhile, and dropped
        return;
    }
    record->relativePosition = (*held)->relativePosition;
    record->budgetBytes = record->heldBytes();
    if (record->relativePosition == 0) {
        s.unreported.reloaded = true;
        if (record->size() != (*held)->size()) s.unreported.reloadResized = true;
    }
    freed.push_back(std::exchange(*held, std::move(record)));
}

void Prefetcher::reposition(std::vector<std::unique_ptr<CachedPicture>>& freed) {
    State& s = *state_;
    const CachedPicture* shown = s.current();
    if (!s.listed || !shown || shown->path.empty()) return;
    // A picture on show that is not listed (opened, and matching no pattern) places nothing.
    const int32_t at = s.folderList.find(shown->path);
    if (at < 0) return;
    for (auto& slot : s.cacheSlots) {
        if (!slot || slot.get() == shown) continue;
        const int32_t index = s.folderList.find(slot->path);
        if (index < 0 || index == at || std::abs(index - at) >= kSlotCount)
            freed.push_back(std::move(slot));
        else
            slot->relativePosition = index - at;
    }
}

void Prefetcher::dropGoneOnShow(std::vector<std::unique_ptr<CachedPicture>>& freed) {
    State& s = *state_;
    const CachedPicture* shown = s.current();
    if (s.goneOnShow.empty() || (shown && shown->path == s.goneOnShow)) return;
    const std::string gone = std::exchange(s.goneOnShow, {});
    forget(gone, freed);
}

void Prefetcher::forget(const std::string& path,
                        std::vector<std::unique_ptr<CachedPicture>>& freed) {
    State& s = *state_;
    const std::string name(fileNameOf(path));
    if (s.listing) s.changedWhileListing.emplace_back(false, name);
    if (const int32_t index = s.folderList.findName(name); index >= 0) s.folderList.removeAt(index);
    for (auto& slot : s.cacheSlots)
        if (slot && slot->path == path) freed.push_back(std::move(slot));
    reposition(freed);
}

void Prefetcher::place(std::unique_ptr<CachedPicture> record,
                       std::vector<std::unique_ptr<CachedPicture>>& freed) {
    State& s = *state_;
    const CachedPicture* shown = s.current();
    const int32_t index = s.folderList.find(record->path);
    if (!shown || index < 0 || s.withPath(record->path)) {
        freed.push_back(std::move(record));
        return;
    }
    const int32_t position = index - s.indexOf(*shown);
    if (position == 0 || std::abs(position) >= kSlotCount) {
        freed.push_back(std::move(record));
        return;
    }
    auto slot = std::find(s.cacheSlots.begin(), s.cacheSlots.end(), nullptr);
    if (slot == s.cacheSlots.end()) {
        // A full cache drops the record least useful to the travel, unless that is this one.
        auto victim = s.cacheSlots.end();
        for (auto it = s.cacheSlots.begin(); it != s.cacheSlots.end(); ++it) {
            if ((*it)->relativePosition == 0) continue;
            if (victim == s.cacheSlots.end() ||
                distanceAlongTravel((*it)->relativePosition, s.direction) >
                    distanceAlongTravel((*victim)->relativePosition, s.direction))
                victim = it;
        }
        if (victim == s.cacheSlots.end() ||
            distanceAlongTravel((*victim)->relativePosition, s.direction) <=
                distanceAlongTravel(position, s.direction)) {
            freed.push_back(std::move(record));
            return;
        }
        freed.push_back(std::move(*victim));
        slot = victim;
    }
    record->relativePosition = position;
    record->budgetBytes = record->heldBytes();
    *slot = std::move(record);
}

void Prefetcher::trim(std::vector<std::unique_ptr<CachedPicture>>& freed) {
    State& s = *state_;
    // Over the budget, or a worker waits for room ahead: the pictures behind the direction of
    // travel go, farthest first.
    const uint64_t wanted = s.roomWanted;
    while (s.heldBytes() + wanted > s.budget) {
        auto victim = s.cacheSlots.end();
        for (auto it = s.cacheSlots.begin(); it != s.cacheSlots.end(); ++it) {
            if (!*it || (*it)->relativePosition * s.direction >= 0) continue;
            if (victim == s.cacheSlots.end() ||
                std::abs((*it)->relativePosition) > std::abs((*victim)->relativePosition))
                victim = it;
        }
        if (victim == s.cacheSlots.end()) break;
        freed.push_back(std::move(*victim));
    }
    s.roomWanted = 0;
}

Prefetcher::Changes Prefetcher::poll() {
    state_->arrivalCall->rearm();
    std::vector<std::unique_ptr<CachedPicture>> freed;
    std::lock_guard guard(state_->control);
    integrate(freed);
    return std::exchange(state_->unreported, Changes{});
}

bool Prefetcher::wantFull() {
    State& s = *state_;
    {
        // Nothing is taken over here: the window may be painting the records.
        std::lock_guard guard(s.control);
        const CachedPicture* shown = s.current();
        if (!shown || !shown->reduced()) return false;
        if (s.fullFailed.count(shown->path)) return false;
        s.fullWanted = shown->path;
        s.changed.notify_all();
    }
    startWorkers();
    return true;
}

bool Prefetcher::requireFull(std::chrono::milliseconds patience) {
    State& s = *state_;
    std::vector<std::unique_ptr<CachedPicture>> freed;
    std::unique_lock guard(s.control);
    integrate(freed);
    const CachedPicture* shown = s.current();
    if (!shown || !shown->reduced()) return shown != nullptr;
    if (s.fullFailed.count(shown->path)) return false;
    const std::string path = shown->path;
    s.fullWanted = path;
    s.changed.notify_all();
    // Only this thread changes the slots: the picture on show stays while the lock is let go.
    guard.unlock();
    startWorkers();
    guard.lock();
    s.changed.wait_for(guard, patience, [&] {
        return s.handedOver(Task::Kind::Upgrade, path) || s.fullFailed.count(path) ||
               s.stopRequest || s.workersAlive == 0;
    });
    integrate(freed);
    // A decode that outlasted the patience still lands later, as a wanted one does.
    shown = s.current();
    return shown && !shown->reduced();
}

void Prefetcher::endWorker(bool force) {
    State& s = *state_;
    std::unique_lock guard(s.control);
    s.stopRequest = true;
    s.changed.notify_all();
    if (s.abandoned) return; // given up already
    const auto patience = force ? std::chrono::milliseconds(1) : std::chrono::milliseconds(1999);
    if (s.changed.wait_for(guard, patience, [&] { return s.workersBusy == 0; })) {
        // Idle workers see the stop at once and end.
        guard.unlock();
        for (std::thread& worker : workers_)
            if (worker.joinable()) worker.join();
        workers_.clear();
        return;
    }
    // Closing never waits for a long decode. A worker cannot be killed safely, so it is left to
    // finish: it shares the state, and the process can end without waiting for it.
    s.abandoned = true;
    abandonedCount.fetch_add(s.workersAlive);
    guard.unlock();
    for (std::thread& worker : workers_)
        if (worker.joinable()) worker.detach();
    workers_.clear();
}

int32_t Prefetcher::folderCount() {
    std::lock_guard guard(state_->control);
    return state_->folderList.count();
}

std::string Prefetcher::folderPathAt(int32_t index) {
    std::lock_guard guard(state_->control);
    return state_->folderList.pathAt(index);
}

std::string Prefetcher::folder() {
    std::lock_guard guard(state_->control);
    return std::string(folderOf(state_->currentPath));
}

void Prefetcher::setNaturalOrder(bool on) {
    State& s = *state_;
    std::lock_guard guard(s.control);
    if (s.folderList.natural == on) return;
    s.folderList.natural = on;
    s.folderList.removeAll();
    if (s.listing) s.relist = true;
    s.listed = false;
    s.changed.notify_all();
}

// --- the folder changing on disk

bool Prefetcher::inListedFolder(const std::string& path) const {
    const std::string_view folder = folderOf(state_->currentPath);
    return !folder.empty() && folderOf(path) == folder && path.size() > folder.size();
}

void Prefetcher::fileWritten(const std::string& path) {
    State& s = *state_;
    std::vector<std::unique_ptr<CachedPicture>> freed;
    {
        std::lock_guard guard(s.control);
        if (!inListedFolder(path)) return;
        s.writtenAt[path] = ++s.writes;
        s.estimates.erase(path);
        s.skipped.erase(path);
        s.fullFailed.erase(path);
        if (s.goneOnShow == path) s.goneOnShow.clear(); // back again
        const std::string name(fileNameOf(path));
        if (s.listing) s.changedWhileListing.emplace_back(true, name);
        if (s.listed) s.folderList.add(name);
        for (auto& slot : s.cacheSlots) {
            if (!slot || slot->path != path) continue;
            if (slot->relativePosition == 0)
                s.reloadPath = path;
            else
                freed.push_back(std::move(slot)); // decoded again when it is wanted
        }
        reposition(freed);
        s.changed.notify_all();
    }
    startWorkers();
}

void Prefetcher::fileRemoved(const std::string& path) {
    State& s = *state_;
    std::vector<std::unique_ptr<CachedPicture>> freed;
    {
        std::lock_guard guard(s.control);
        if (!inListedFolder(path)) return;
        s.writtenAt[path] = ++s.writes;
        if (s.reloadPath == path) s.reloadPath.clear();
        const CachedPicture* shown = s.current();
        if (shown && shown->path == path)
            s.goneOnShow = path;
        else
            forget(path, freed);
        s.changed.notify_all();
    }
    startWorkers();
}

void Prefetcher::folderChanged() {
    State& s = *state_;
    {
        std::lock_guard guard(s.control);
        if (s.currentPath.empty()) return;
        if (s.listing) s.relist = true;
        s.listed = false;
        if (const CachedPicture* shown = s.current(); shown && !shown->path.empty()) {
            s.writtenAt[shown->path] = ++s.writes;
            s.fullFailed.erase(shown->path);
            s.reloadPath = shown->path;
        }
        s.estimates.clear();
        s.skipped.clear();
        s.changed.notify_all();
    }
    startWorkers();
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

} // namespace vistrel
