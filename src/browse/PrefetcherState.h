// What the Prefetcher shares with its worker thread. The worker holds a reference, so an
// abandoned worker never outlives what it touches.
#pragma once

#include "FolderList.h"
#include "Prefetcher.h"

#include <array>
#include <condition_variable>
#include <mutex>

namespace vistrel {

struct Prefetcher::State {
    // The cache lock: held by the worker from its choice of slot through its whole decode, and
    // by the window thread while it empties a slot to make room.
    std::mutex lock;
    // null = empty slot. The window thread changes slots only while no worker runs; the worker
    // fills and empties only its own slot, under `control`, because `current` may look meanwhile.
    std::array<std::unique_ptr<CachedPicture>, kSlotCount> cacheSlots;
    // Changed by the worker (under `control`) or by the window thread while no worker runs.
    FolderList folderList;
    std::string currentPath; // the path last passed to open
    int32_t direction = 1;   // 1 forward (next), 0 backward (previous)
    DecodeFunction decode;

    // Guards the fields below, the worker's slot changes and its folder list changes; `changed`
    // announces every change of the fields below.
    std::mutex control;
    std::condition_variable changed;
    bool workerExists = false; // from start until the worker's last touch of the slots
    bool stopRequest = false;  // cleared by the worker when it ends
    ScreenCopyPolicy policy;   // its windowExists also releases suspended workers
    bool abandoned = false;    // the running worker is detached: nobody waits for it

    CachedPicture* current();
    bool hasPosition(int32_t position) const;
    // The record's place in the folder list; a record without a path (a pasted bitmap) searches
    // for the empty name, which gives 0 for a non-empty list.
    int32_t indexOf(const CachedPicture& record) const;
};

} // namespace vistrel
