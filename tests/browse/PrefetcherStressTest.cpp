// Random opens, steps and pastes against a folder with undecodable files and decodes of random
// short durations, checking the cache after every call.
#include "FakeDecoder.h"
#include "PrefetcherTestPeer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <string>

using namespace vistrel;

namespace {

constexpr int kFiles = 200;
constexpr int kCalls = 5000;

std::string nameOf(int i) {
    const std::string number = std::to_string(i);
    return "f" + std::string(3 - std::min<std::size_t>(3, number.size()), '0') + number + ".png";
}
bool fails(int i) {
    return i % 10 == 7;
}

// With no worker running: the picture on show is the file the list says it is, every decoded
// neighbour is the file at its relative position from it, and no position is held twice.
void expectConsistent(Prefetcher& p, int call) {
    SCOPED_TRACE("after call " + std::to_string(call));
    const FolderList& list = PrefetcherTestPeer::folderList(p);
    const CachedPicture* cur = p.current();
    std::set<int32_t> positions;
    for (const CachedPicture* record : PrefetcherTestPeer::records(p))
        EXPECT_TRUE(positions.insert(record->relativePosition).second)
            << "two records at " << record->relativePosition << ": "
            << PrefetcherTestPeer::cache(p);
    if (!cur || list.count() == 0) return;
    const int32_t index = list.indexOf(fileNameOf(cur->path));
    if (!cur->path.empty()) {
        ASSERT_GE(index, 0);
        EXPECT_EQ(list.pathAt(index), cur->path);
    }
    for (const CachedPicture* record : PrefetcherTestPeer::records(p)) {
        if (!record->picture || record->path.empty()) continue;
        EXPECT_EQ(list.pathAt(index + record->relativePosition), record->path)
            << PrefetcherTestPeer::cache(p);
    }
}

} // namespace

TEST(PrefetcherStress, RandomCallsKeepTheCacheConsistent) {
    test::ScratchFolder folder;
    auto decoder = std::make_shared<FakeDecoder>();
    for (int i = 0; i < kFiles; ++i) {
        folder.file(nameOf(i));
        if (fails(i)) decoder->fail(nameOf(i));
    }
    decoder->setMaxDelay(std::chrono::microseconds(300));
    Prefetcher p(decodeWith(decoder));
    p.setPolicy({{1920, 1080}, true, {}});
    const uint8_t pixels[3 * 2 * 4] = {1, 2, 3, 4};
    std::mt19937 random(4);
    bool opened = false;
    bool quiet = true; // no worker runs: the folder list may be read

    for (int call = 0; call < kCalls; ++call) {
        // Where the picture on show stood before a step, to check where the step lands.
        std::string before;
        int32_t beforeIndex = -1;
        bool fromFile = false;
        if (quiet) {
            before = PrefetcherTestPeer::shown(p);
            beforeIndex = PrefetcherTestPeer::folderList(p).indexOf(before);
            fromFile = p.current() && !p.current()->path.empty();
        }

        const unsigned kind = random() % 10;
        int direction = 0;
        bool moved = false;
        if (kind < 2) {
            const int i = int(random() % kFiles);
            ASSERT_EQ(p.open(folder.path() + nameOf(i)), !fails(i)) << nameOf(i);
            opened = opened || !fails(i);
        } else if (kind < 6) {
            direction = 1;
            moved = p.showNext();
        } else if (kind < 9) {
            direction = -1;
            moved = p.showPrevious();
        } else {
            ASSERT_TRUE(p.adopt({3, 2, 12, 32, pixels}));
            opened = true;
        }
        // Safe while the worker may be running.
        if (opened) {
            ASSERT_NE(p.current(), nullptr) << "after call " << call;
        }

        // Let the worker run on into the next call now and then; otherwise let it finish or stop
        // it, and look into the cache.
        switch (random() % 3) {
        case 0:
            quiet = false;
            continue;
        case 1:
            PrefetcherTestPeer::waitForWorker(p);
            break;
        default:
            PrefetcherTestPeer::stopWorker(p);
            break;
        }
        quiet = true;
        expectConsistent(p, call);
        if (direction != 0 && fromFile && PrefetcherTestPeer::shown(p) != before) {
            ASSERT_TRUE(moved);
            // The step lands on the adjacent file of the list as it is now (failing files in
            // between have been dropped).
            const FolderList& list = PrefetcherTestPeer::folderList(p);
            EXPECT_EQ(list.indexOf(PrefetcherTestPeer::shown(p)), list.indexOf(before) + direction)
                << before << " -> " << PrefetcherTestPeer::shown(p) << " (was at " << beforeIndex
                << ")";
        }
        if (HasFatalFailure() || HasNonfatalFailure()) break;
    }
}
