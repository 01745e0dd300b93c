// The picture on show and up to three decoded neighbours of its folder, with the background
// workers that decode what the window will want next, so that a step to the previous or next
// picture normally finds it decoded already.
//
// Every operation is called on the window thread, and none of them waits for a decode: a file
// opened or stepped to is decoded by a worker and lands later, while the picture on show stays.
// Only the window thread changes the cache; the workers hand what they decode over to it, and the
// arrival call tells the window to take it (poll).
//
// Where the window shows pictures fitted to the screen (the policy's screenCopyOnly), a picture
// larger than the screen is held as its screen copy alone, the picture on show and its
// neighbours alike; a JPEG is decoded at a reduced scale, just large enough for the copy. The
// full decode is made only when the window asks for it (wantFull, or requireFull, which waits
// within a bound, for the operations that need the full resolution), and goes again when the
// window steps away. Stepping with a held key uses the same reduced decodes, so that every
// picture the key lands on is shown.
#pragma once

#include "BitmapLayout.h"
#include "CachedPicture.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vistrel {

class Prefetcher {
public:
    static constexpr int kSlotCount = 4;
    // Decodes the file at `path` into `record` (path, size and picture, as CachedPicture::load
    // does, which is the default) with its screen copy for `policy`. Called on the workers and
    // the start-up thread, at the same time on different records. Tests give their own.
    using DecodeFunction = std::function<bool(CachedPicture& record, const char* path,
                                              const ScreenCopyPolicy& policy)>;
    // The memory a decode of `path` for `policy` will hold (picture and screen copy), read from
    // the file's header; 0 when unknown. estimateHeldBytes is the default.
    using EstimateFunction =
        std::function<uint64_t(const char* path, const ScreenCopyPolicy& policy)>;

    // A file being opened: decoded on some thread (a worker, or the start-up thread for the
    // command-line picture) and handed over when done.
    class Opening;
    // The window's call for "something landed: poll" (setArrivalCall).
    class ArrivalCall;
    // Starts decoding `path` at once on a thread of its own. The decode asks `policy` for the
    // screen copy policy only once it needs it, so reading the file runs before the screen is
    // known. The thread is counted as abandoned (exitIfWorkerAbandoned) until it ends.
    static std::shared_ptr<Opening>
    startOpening(const std::string& path,
                 std::function<bool(CachedPicture&, const char* path)> decode);
    // Waits up to `patience` for the opening to finish; true when it has (successfully or not).
    static bool waitForOpening(Opening& opening, std::chrono::milliseconds patience);

    explicit Prefetcher(DecodeFunction decode = {}, EstimateFunction estimate = {});
    // Ends the workers without force (waiting up to two seconds), then frees every record. A
    // worker still decoding after that is left to finish alone; it frees what it holds itself.
    ~Prefetcher();
    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    // What the screen copies of the pictures decoded from now on are made for. Until a policy
    // says the main window exists, the workers decode only what the window asks for (an open, a
    // step), nothing ahead of time. The window passes it once it exists and with every request.
    void setPolicy(const ScreenCopyPolicy& policy);
    // The most the pictures held may take together, with their screen copies (default: the
    // smaller of 4 GiB and half the physical memory). A neighbour that would pass it is not
    // decoded ahead of time; the picture on show always is.
    void setMemoryBudget(uint64_t bytes);

    // The record on show (relative position 0, something to show), or null. Stays valid until
    // the next call of open, install, adopt, a step, poll or requireFull.
    CachedPicture* current();

    // Opens `path`: a worker decodes it; until it lands (poll) the picture on show stays, and if
    // it fails nothing changes, except that with no picture on show the steps then go from the
    // failed file's place in its list. A later open replaces one still under way. The list
    // stepped through is the file's folder, or `list` (full paths, `path` among them) in its
    // order.
    void open(const std::string& path, std::vector<std::string> list = {});
    // The same for an opening already under way elsewhere (startOpening).
    void open(std::shared_ptr<Opening> opening, std::vector<std::string> list = {});
    // Makes a bitmap (the clipboard's) the picture on show, without a path; the folder list of
    // the last opened file stays for the next step. False, and nothing changed, on failure.
    bool adopt(const BitmapDescription& bitmap);

    enum class Step {
        Shown,   // the neighbour was decoded: it is the picture on show now
        Pending, // it is being decoded and becomes the picture on show when it lands (poll);
                 // further steps meanwhile stay put
        None,    // nothing to step to (the end of the folder, no picture)
    };
    Step showPrevious();
    Step showNext();
    // The first or last picture of the list; past files that do not decode, the next one that
    // does (towards the other end).
    Step showFirst();
    Step showLast();
    // The file of the picture on show has gone (to the trash): it leaves the list, and the
    // picture after it is shown, or at the end of the list the one before it. None when nothing
    // is left to show.
    Step dropShown();

    // The call that tells the window something was handed over (an open, a neighbour, a full
    // decode, a request for room), made on the thread that hands it over: a worker, or the
    // start-up thread. It is made once until the next poll, however many things land meanwhile,
    // and runs under the prefetcher's locks: it only queues the window's poll on the window
    // thread. Replacing it (or setting none) returns once no call of the old one runs, so what it
    // refers to may go then; the destructor sets none.
    void setArrivalCall(std::function<void()> call);
    // What landed since the last poll.
    struct Changes {
        bool shown = false;         // a new picture on show (an open or a pending step landed)
        bool upgraded = false;      // the reduced picture on show got its full decode
        bool openFailed = false;    // an open ended without a picture
        bool reloaded = false;      // the picture on show was decoded again from its rewritten file
        bool reloadResized = false; // ... and is not of the size it had
    };
    Changes poll();
    // Whether the workers decode ahead of time: a policy has said the window exists.
    bool decodesAhead();
    // Asks for the full decode of the reduced picture on show before anything else, without
    // waiting: it lands later (poll's `upgraded`). False when there is none to ask for (the
    // picture is not reduced, or its full decode failed).
    bool wantFull();
    // Makes sure the picture on show is decoded at full resolution: asks for its full decode
    // and waits for it up to `patience`. False when it is still reduced (a decode still under
    // way then lands later).
    bool requireFull(std::chrono::milliseconds patience);

    // Asks the workers to end. With force (closing) it waits 1 ms at most: a worker in a long
    // decode is abandoned and ends by itself later, touching nothing freed. Without force it
    // waits up to 1999 ms.
    void endWorker(bool force);

    // The folder list's count and paths, readable at any time (a worker may be changing it).
    int32_t folderCount();
    std::string folderPathAt(int32_t index);
    // The folder the list is of: that of the last opened file, with its "/"; empty before one.
    std::string folder();
    // Sorts names with numbers by their value (FolderList::natural, the default), or in the plain
    // collation order; a list built the other way is made anew.
    void setNaturalOrder(bool on);

    // --- the folder changing on disk (a folder watch on the window thread). Files of another
    // folder than folder() are ignored; none of these changes the picture on show at once.
    // `path` was written (an editor saved over it, or it came into the folder): the list takes
    // it at its place, a decoded neighbour of it goes, and the picture on show is decoded again;
    // when that lands (poll: reloaded) it replaces the old one, and when it fails the old one
    // stays.
    void fileWritten(const std::string& path);
    // `path` left the folder: it leaves the list and the cache, except as the picture on show,
    // which stays, with its name listed so that steps go on from its place, until another picture
    // is on show.
    void fileRemoved(const std::string& path);
    // Changes too many to follow one by one: the folder is listed anew and the picture on show
    // decoded again.
    void folderChanged();

    // Ends the process with `status` at once when an abandoned worker (or an unfinished
    // start-up decode) is still decoding, so that no static destructor and no library unload
    // runs under it (C streams are flushed first); otherwise returns. Called last in main.
    static void exitIfWorkerAbandoned(int status);
    // Abandoned decodes that have not ended yet.
    static int abandonedWorkers();

private:
    friend class PrefetcherTestPeer;
    struct State;
    struct Task;

    static void runWorker(std::shared_ptr<State> state);
    static void runTask(State& state, Task& task);
    // Whether a neighbour's decode is worth its memory (the budget); the picture on show and a
    // step's target always are.
    static bool worthDecoding(State& state, const Task& task);

    void startWorkers();
    void beginOpen(std::shared_ptr<Opening> opening, std::vector<std::string> list, bool byWorker);
    // The rest are called with the control lock held. Records that go are moved to `freed`, to be
    // freed after the lock is released.
    // Takes over what the workers handed over: an open that finished, neighbours into the slots,
    // full decodes in place of reduced ones; shows a step's picture that landed.
    Changes integrate(std::vector<std::unique_ptr<CachedPicture>>& freed);
    void place(std::unique_ptr<CachedPicture> record,
               std::vector<std::unique_ptr<CachedPicture>>& freed);
    // Puts a record decoded again from its rewritten file in the place of the old one.
    void reload(std::unique_ptr<CachedPicture> record,
                std::vector<std::unique_ptr<CachedPicture>>& freed);
    // Drops pictures behind the direction of travel while the budget is passed.
    void trim(std::vector<std::unique_ptr<CachedPicture>>& freed);
    // Moves every record by `delta` places towards the one on show; the full pictures of the
    // neighbours go where their screen copies are enough.
    void shift(int32_t delta, std::vector<std::unique_ptr<CachedPicture>>& freed);
    // Gives each record its place from the list again, around the picture on show (the list
    // changed); records no longer listed, or too far away, go.
    void reposition(std::vector<std::unique_ptr<CachedPicture>>& freed);
    // Lets the name of a picture whose file left go from the list once it is not on show.
    void dropGoneOnShow(std::vector<std::unique_ptr<CachedPicture>>& freed);
    // Drops `path` from the list and the cache.
    void forget(const std::string& path, std::vector<std::unique_ptr<CachedPicture>>& freed);
    // Whether `path` names an entry of the folder the list is of.
    bool inListedFolder(const std::string& path) const;
    Step step(int32_t delta);
    Step showEnd(bool last);

    // Shared with the worker threads, which keep it alive while they run.
    std::shared_ptr<State> state_;
    std::vector<std::thread> workers_;
};

} // namespace vistrel
