// Lets the tests wait for the workers and look into the cache.
#pragma once

#include "FileNames.h"
#include "PrefetcherState.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vistrel {

class PrefetcherTestPeer {
public:
    // Waits until no worker decodes and none has anything left to do (and an opening decoded on
    // a thread of its own has finished); hands nothing over to the window.
    static void waitUntilIdle(Prefetcher& p) {
        Prefetcher::State& s = *p.state_;
        std::shared_ptr<Prefetcher::Opening> opening;
        {
            std::lock_guard guard(s.control);
            if (!s.openByWorker) opening = s.opening;
        }
        if (opening) opening->waitFor(std::chrono::seconds(20));
        std::unique_lock guard(s.control);
        s.changed.wait(guard, [&] {
            return s.workersAlive == 0 || s.abandoned || (s.workersBusy == 0 && !s.findTask());
        });
    }
    // Lets the workers finish everything the last calls started, polling what they hand over
    // (as the window does on the arrival call) until nothing more comes.
    static Prefetcher::Changes settle(Prefetcher& p) {
        Prefetcher::Changes all;
        for (int round = 0; round < 100; ++round) {
            waitUntilIdle(p);
            const Prefetcher::Changes c = p.poll();
            all.shown |= c.shown;
            all.upgraded |= c.upgraded;
            all.openFailed |= c.openFailed;
            all.reloaded |= c.reloaded;
            all.reloadResized |= c.reloadResized;
            Prefetcher::State& s = *p.state_;
            std::lock_guard guard(s.control);
            if (s.workersAlive == 0 || (s.workersBusy == 0 && !s.findTask() && s.arrivals.empty()))
                break;
        }
        return all;
    }
    // Whether the arrival call was made and nobody has polled since.
    static bool arrivalCallMade(Prefetcher& p) { return p.state_->arrivalCall->made(); }
    // Steps closer together than this count as a held key (default 700 ms); 0 never does.
    static void setFastSteps(Prefetcher& p, std::chrono::milliseconds within) {
        std::lock_guard guard(p.state_->control);
        p.state_->fastSteps = within;
    }
    static const FolderList& folderList(Prefetcher& p) { return p.state_->folderList; }
    // The file name of the picture on show.
    static std::string shown(Prefetcher& p) {
        const CachedPicture* cur = p.current();
        return cur ? std::string(fileNameOf(cur->path)) : "(nothing)";
    }

    // The occupied slots as "name@position" (name without extension) sorted by position, e.g. "b@-1
    // c@0 d@1"; a pasted picture is "paste", a reduced record is marked "~" ("c~@0").
    static std::string cache(Prefetcher& p) {
        std::vector<std::pair<int32_t, std::string>> records;
        for (const auto& slot : p.state_->cacheSlots) {
            if (!slot) continue;
            std::string name(fileNameOf(slot->path));
            name = name.substr(0, name.find('.'));
            if (slot->path.empty()) name = "paste";
            if (slot->reduced()) name += "~";
            records.emplace_back(slot->relativePosition, name);
        }
        std::sort(records.begin(), records.end());
        std::string text;
        for (const auto& [position, name] : records)
            text += (text.empty() ? "" : " ") + name + "@" + std::to_string(position);
        return text;
    }

    static std::vector<const CachedPicture*> records(Prefetcher& p) {
        std::vector<const CachedPicture*> out;
        for (const auto& slot : p.state_->cacheSlots)
            if (slot) out.push_back(slot.get());
        return out;
    }
};

} // namespace vistrel
