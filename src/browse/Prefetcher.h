// The picture on show and up to three decoded neighbours of its folder, with the background
// worker that decodes the next neighbour in the direction the user travels, so that a step to the
// previous or next picture normally finds it decoded already.
//
// Every operation is called on the window thread. At most one worker runs at a time; it decodes
// one neighbour per run and ends. Each step first stops the worker (waiting for a decode already
// under way), so the slots and the folder list are only ever changed by one thread at a time.
#pragma once

#include "BitmapLayout.h"
#include "CachedPicture.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace vistrel {

class Prefetcher {
public:
    static constexpr int kSlotCount = 4;
    // Decodes the file at `path` into `record` (path, size and picture, as CachedPicture::load
    // does, which is the default) with its screen copy for `policy`. Called on the window thread
    // and on the worker, sometimes at the same time on different records. Tests give their own.
    using DecodeFunction = std::function<bool(CachedPicture& record, const char* path,
                                              const ScreenCopyPolicy& policy)>;

    explicit Prefetcher(DecodeFunction decode = {});
    // Ends the worker without force (waiting up to two seconds), then deletes every record. A
    // worker still decoding after that is left to finish alone; it frees what it holds itself.
    ~Prefetcher();
    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    // What the screen copies of the pictures decoded from now on are made for. A worker started
    // while the policy says the main window does not exist yet (the command-line file is opened
    // before the window is made) waits, suspended, until a policy says it does; so do later ones
    // until then. The window passes the policy once it exists and again with every open and step.
    void setPolicy(const ScreenCopyPolicy& policy);

    // The record on show (relative position 0, with a picture), or null. Safe while the worker
    // runs; the record stays valid until the next open, adopt or step.
    CachedPicture* current();
    // Decodes `path` on this thread and makes it the picture on show, then starts the worker,
    // which lists the folder anew and decodes a neighbour. False, and nothing changed, when the
    // file cannot be decoded.
    bool open(const std::string& path);
    // Makes a bitmap (the clipboard's) the picture on show, without a path; the folder list of
    // the last opened file stays for the next step. False, and nothing changed, on failure.
    bool adopt(const BitmapDescription& bitmap);
    // Step to the previous or next file of the folder; no wrap-around. True when `current` holds
    // the picture to show (after showNext possibly still the same one while its neighbour is
    // being decoded). Either may wait for a decode under way.
    bool showPrevious();
    bool showNext();
    // Asks the worker to end. With force (closing) it waits 1 ms at most: a worker in a long
    // decode is abandoned and ends by itself later, touching nothing freed. Without force it
    // waits up to 1999 ms.
    void endWorker(bool force);

    // The folder list's count and paths, readable at any time (the worker may be changing it).
    int32_t folderCount();
    std::string folderPathAt(int32_t index);

    // Ends the process with `status` at once when an abandoned worker is still decoding, so that
    // no static destructor and no library unload runs under it (C streams are flushed first);
    // otherwise returns, and the caller returns from main as usual. Called last in main.
    static void exitIfWorkerAbandoned(int status);
    // Abandoned workers that have not ended yet.
    static int abandonedWorkers();

private:
    friend class PrefetcherTestPeer;
    struct State;

    static void runWorker(std::shared_ptr<State> state);
    static void decodeNeighbour(State& state);

    void startWorker();
    void stopWorker();
    // Waits until the worker ends by itself (a suspended one is stopped instead).
    void waitForWorker();
    // Called with the control lock held: from now on nobody waits for the running worker.
    void abandonWorker();
    bool stepBack();
    bool stepForward();
    void shift(int32_t delta);
    int occupiedCount() const;
    ScreenCopyPolicy policyNow();

    // Shared with the worker thread, which keeps it alive while it runs.
    std::shared_ptr<State> state_;
    std::thread worker_;
};

} // namespace vistrel
