#include "FakeDecoder.h"
#include "PrefetcherTestPeer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

using namespace vistrel;

namespace {

class PrefetcherTest : public testing::Test {
protected:
    void SetUp() override { windowExists(true); }
    void windowExists(bool exists) { prefetcher->setPolicy({{1920, 1080}, exists, {}}); }

    void files(std::initializer_list<const char*> names) {
        for (const char* name : names)
            folder.file(name);
    }
    bool open(const std::string& name) { return prefetcher->open(folder.path() + name); }
    // Lets the worker started by the last call finish.
    void settle() { PrefetcherTestPeer::waitForWorker(*prefetcher); }
    std::string shown() { return PrefetcherTestPeer::shown(*prefetcher); }
    std::string cache() {
        PrefetcherTestPeer::stopWorker(*prefetcher);
        return PrefetcherTestPeer::cache(*prefetcher);
    }
    // Steps, then lets the worker that the step started finish.
    bool next() {
        const bool moved = prefetcher->showNext();
        settle();
        return moved;
    }
    bool previous() {
        const bool moved = prefetcher->showPrevious();
        settle();
        return moved;
    }

    test::ScratchFolder folder;
    std::shared_ptr<FakeDecoder> decoder = std::make_shared<FakeDecoder>();
    std::unique_ptr<Prefetcher> prefetcher = std::make_unique<Prefetcher>(decodeWith(decoder));
};

} // namespace

TEST_F(PrefetcherTest, OpeningPrefetchesAwayFromTheEndOfTheFolder) {
    files({"a.png", "b.png", "c.png"});
    ASSERT_TRUE(open("b.png"));
    settle();
    EXPECT_EQ(cache(), "b@0 c@1");
    EXPECT_EQ(prefetcher->folderCount(), 3);

    ASSERT_TRUE(open("c.png")); // the last file: its previous picture is wanted next
    settle();
    EXPECT_EQ(cache(), "b@-1 c@0");
}

TEST_F(PrefetcherTest, OnePictureFolderHasNoNeighbours) {
    files({"only.png", "notes.txt"});
    ASSERT_TRUE(open("only.png"));
    settle();
    EXPECT_EQ(prefetcher->folderCount(), 1);
    EXPECT_FALSE(next());
    EXPECT_FALSE(previous());
    EXPECT_EQ(decoder->decodes(""), 1); // the open itself; no worker decoded anything
    EXPECT_EQ(shown(), "only.png");
}

TEST_F(PrefetcherTest, NextThenPreviousIsServedFromTheCacheWithoutWrapAround) {
    files({"a.png", "b.png", "c.png"});
    ASSERT_TRUE(open("b.png"));
    settle();
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "c.png");
    EXPECT_FALSE(next());
    EXPECT_EQ(shown(), "c.png");
    ASSERT_TRUE(previous());
    EXPECT_EQ(shown(), "b.png");
    EXPECT_EQ(decoder->decodes("b.png"), 1);
    EXPECT_EQ(decoder->decodes("c.png"), 1);
    ASSERT_TRUE(previous());
    EXPECT_FALSE(previous());
    EXPECT_EQ(shown(), "a.png");
}

TEST_F(PrefetcherTest, FileThatFailsIsDroppedAndTheStepLandsBeyondIt) {
    files({"a.png", "b.png", "c.png", "d.png", "e.png"});
    decoder->fail("b.png");
    decoder->fail("d.png");
    ASSERT_TRUE(open("a.png"));
    settle();
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "c.png");
    EXPECT_EQ(prefetcher->folderCount(), 3); // b dropped, and d while prefetching past c

    // Backward: the failing file before the one on show is skipped the same way.
    ASSERT_TRUE(open("e.png"));
    settle();
    ASSERT_TRUE(previous());
    EXPECT_EQ(shown(), "c.png");
    EXPECT_EQ(prefetcher->folderPathAt(2), folder.path() + "e.png");
    EXPECT_EQ(prefetcher->folderCount(), 3);
}

TEST_F(PrefetcherTest, WhenEveryFileAheadFailsTheStepIsRefused) {
    files({"a.png", "b.png", "c.png"});
    decoder->fail("b.png");
    decoder->fail("c.png");
    ASSERT_TRUE(open("a.png"));
    settle();
    EXPECT_EQ(cache(), "a@0");
    EXPECT_EQ(prefetcher->folderCount(), 1);
    EXPECT_FALSE(next());
    EXPECT_EQ(shown(), "a.png");
}

TEST_F(PrefetcherTest, WayBackStaysOpenAfterTheFilesAheadFailed) {
    // The prefetch past the last good file finds nothing; the full cache must still make room
    // for the pictures behind.
    files({"a.png", "b.png", "c.png", "d.png", "e.png"});
    decoder->fail("e.png");
    ASSERT_TRUE(open("a.png"));
    settle();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "d.png");
    EXPECT_FALSE(next());
    for (const char* name : {"c.png", "b.png", "a.png"}) {
        ASSERT_TRUE(previous());
        EXPECT_EQ(shown(), name);
    }
}

TEST_F(PrefetcherTest, FullCacheDropsTheRecordFarthestBehindTheTravel) {
    files({"a.png", "b.png", "c.png", "d.png", "e.png", "f.png", "g.png"});
    ASSERT_TRUE(open("a.png"));
    settle();
    ASSERT_TRUE(next());
    ASSERT_TRUE(next());
    EXPECT_EQ(cache(), "a@-2 b@-1 c@0 d@1");
    ASSERT_TRUE(next());
    EXPECT_EQ(cache(), "b@-2 c@-1 d@0 e@1");
    ASSERT_TRUE(next());
    EXPECT_EQ(cache(), "c@-2 d@-1 e@0 f@1");

    // Turning back: the neighbour behind is still cached; one step further the record farthest
    // ahead makes room.
    ASSERT_TRUE(previous());
    EXPECT_EQ(cache(), "c@-1 d@0 e@1 f@2");
    ASSERT_TRUE(previous());
    EXPECT_EQ(cache(), "b@-1 c@0 d@1 e@2");
    EXPECT_EQ(decoder->decodes("c.png"), 1);
}

TEST_F(PrefetcherTest, AdoptShowsTheBitmapAndTheNextStepUsesTheLastFolder) {
    files({"a.png", "b.png", "c.png"});
    ASSERT_TRUE(open("a.png"));
    settle();
    const uint8_t pixels[2 * 2 * 4] = {};
    ASSERT_TRUE(prefetcher->adopt({2, 2, 8, 32, pixels}));
    ASSERT_NE(prefetcher->current(), nullptr);
    EXPECT_EQ(prefetcher->current()->path, "");
    EXPECT_EQ(prefetcher->current()->width, 2);
    EXPECT_EQ(cache(), "paste@0");

    EXPECT_FALSE(previous());
    // The pasted picture stands before every name of the list, so "next" starts at its second
    // file; the first step lets the worker decode it.
    ASSERT_TRUE(next());
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "b.png");
    EXPECT_EQ(prefetcher->folderCount(), 3);

    EXPECT_FALSE(prefetcher->adopt({0, 0, 0, 32, nullptr}));
    EXPECT_EQ(shown(), "b.png");
}

TEST_F(PrefetcherTest, WorkerWaitsForTheMainWindow) {
    files({"a.png", "b.png", "c.png"});
    windowExists(false); // start-up: the command-line file is opened first
    ASSERT_TRUE(open("a.png"));
    // A step before the window exists stops the suspended worker instead of hanging on it.
    EXPECT_TRUE(prefetcher->showNext());
    EXPECT_EQ(shown(), "a.png");
    EXPECT_EQ(decoder->decodes("b.png"), 0);

    windowExists(true);
    settle();
    EXPECT_EQ(decoder->decodes("b.png"), 1);
    EXPECT_TRUE(next());
    EXPECT_EQ(shown(), "b.png");
}

TEST_F(PrefetcherTest, ClosingDoesNotWaitForADecode) {
    files({"a.png", "b.png"});
    decoder->hold("b.png");
    ASSERT_TRUE(open("a.png"));
    decoder->waitUntilHeld();
    prefetcher->endWorker(true); // returns while the decode is held
    EXPECT_EQ(decoder->decodes("b.png", true), 0);
    EXPECT_EQ(Prefetcher::abandonedWorkers(), 1);
    prefetcher.reset(); // the abandoned worker keeps what it touches alive

    decoder->release();
    while (Prefetcher::abandonedWorkers() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(decoder->decodes("b.png", true), 1);
    Prefetcher::exitIfWorkerAbandoned(3); // nothing is left running: returns
}

TEST_F(PrefetcherTest, ProcessEndsAtOnceWhileAnAbandonedWorkerDecodes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    files({"a.png", "b.png"});
    EXPECT_EXIT(
        {
            decoder->hold("b.png"); // never released
            open("a.png");
            decoder->waitUntilHeld();
            prefetcher->endWorker(true);
            Prefetcher::exitIfWorkerAbandoned(3);
            std::exit(0);
        },
        testing::ExitedWithCode(3), "");
}
