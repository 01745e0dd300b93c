// Random opens, steps, pastes and full-resolution requests against a folder with undecodable files,
// reduced first decodes and decodes of random short durations, within a tight memory budget,
// checking the cache whenever the workers are idle.
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

// With the workers idle: the picture on show is the file the list says it is, every decoded
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
        if (!record->showable() || record->path.empty()) continue;
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
        // Every third picture is a large JPEG's stand-in: first decoded reduced.
        if (i % 3 == 0) decoder->describe(nameOf(i), {8, 8, 24, 0xFF806040, {}, true});
    }
    decoder->setMaxDelay(std::chrono::microseconds(300));
    Prefetcher p(decodeWith(decoder));
    ScreenCopyPolicy policy{{1920, 1080}, true, {}};
    policy.screenCopyOnly = true;
    p.setPolicy(policy);
    p.setMemoryBudget(4 * 8 * 8 * 4); // tight: some neighbours are left out
    const uint8_t pixels[3 * 2 * 4] = {1, 2, 3, 4};
    std::mt19937 random(4);
    bool opened = false;

    for (int call = 0; call < kCalls; ++call) {
        const unsigned kind = random() % 12;
        if (kind < 2) {
            p.open(folder.path() + nameOf(int(random() % kFiles)));
        } else if (kind < 6) {
            p.showNext();
        } else if (kind < 9) {
            p.showPrevious();
        } else if (kind < 10) {
            ASSERT_TRUE(p.adopt({3, 2, 12, 32, pixels}));
            opened = true;
        } else if (kind < 11) {
            p.requireFull(std::chrono::milliseconds(int(random() % 3)));
        }
        opened = p.poll().shown || opened;
        // Safe while the workers run.
        if (opened) {
            ASSERT_NE(p.current(), nullptr) << "after call " << call;
        }
        // Now and then, let the workers finish and look into the cache; a step then lands on
        // the adjacent file of the list as it is now (failing files have been dropped).
        if (random() % 3 != 0) continue;
        PrefetcherTestPeer::settle(p);
        const std::string before = PrefetcherTestPeer::shown(p);
        const bool fromFile = p.current() && !p.current()->path.empty();
        const int direction = random() % 2 ? 1 : -1;
        const Prefetcher::Step step = direction > 0 ? p.showNext() : p.showPrevious();
        opened = PrefetcherTestPeer::settle(p).shown || opened;
        expectConsistent(p, call);
        if (fromFile && PrefetcherTestPeer::shown(p) != before) {
            EXPECT_NE(step, Prefetcher::Step::None);
            const FolderList& list = PrefetcherTestPeer::folderList(p);
            EXPECT_EQ(list.indexOf(PrefetcherTestPeer::shown(p)), list.indexOf(before) + direction)
                << before << " -> " << PrefetcherTestPeer::shown(p);
        }
        if (HasFatalFailure() || HasNonfatalFailure()) break;
    }
}
