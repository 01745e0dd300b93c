// Lets the tests stop or await the worker and look into the cache when no worker runs.
#pragma once

#include "FileNames.h"
#include "PrefetcherState.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vistrel {

class PrefetcherTestPeer {
public:
    static void stopWorker(Prefetcher& p) { p.stopWorker(); }
    // Lets the running worker finish its decode.
    static void waitForWorker(Prefetcher& p) { p.waitForWorker(); }
    static const FolderList& folderList(Prefetcher& p) { return p.state_->folderList; }
    // The file name of the picture on show.
    static std::string shown(Prefetcher& p) {
        const CachedPicture* cur = p.current();
        return cur ? std::string(fileNameOf(cur->path)) : "(nothing)";
    }

    // The occupied slots as "name@position" (name without extension) sorted by position, e.g. "b@-1
    // c@0 d@1"; a pasted picture is "paste".
    static std::string cache(Prefetcher& p) {
        std::vector<std::pair<int32_t, std::string>> records;
        for (const auto& slot : p.state_->cacheSlots) {
            if (!slot) continue;
            std::string name(fileNameOf(slot->path));
            name = name.substr(0, name.find('.'));
            if (slot->path.empty()) name = "paste";
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
