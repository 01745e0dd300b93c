#include "DebugLog.h"
#include "FakeDecoder.h"
#include "PrefetcherTestPeer.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

using namespace vistrel;
using Step = Prefetcher::Step;

namespace {

class PrefetcherTest : public testing::Test {
protected:
    void SetUp() override {
        // Steps in a test follow each other at once; only the held-key cases want them quick.
        PrefetcherTestPeer::setFastSteps(*prefetcher, std::chrono::milliseconds(0));
        windowExists(true);
    }
    void windowExists(bool exists, bool reduce = false) {
        ScreenCopyPolicy policy{{1920, 1080}, exists, {}};
        policy.screenCopyOnly = reduce;
        prefetcher->setPolicy(policy);
    }

    void files(std::initializer_list<const char*> names) {
        for (const char* name : names)
            folder.file(name);
    }
    // Opens and lets the open land, and the workers finish.
    bool open(const std::string& name) {
        prefetcher->open(folder.path() + name);
        return settle().shown;
    }
    Prefetcher::Changes settle() { return PrefetcherTestPeer::settle(*prefetcher); }
    std::string shown() { return PrefetcherTestPeer::shown(*prefetcher); }
    std::string cache() { return PrefetcherTestPeer::cache(*prefetcher); }
    // Steps, then lets the workers finish (a pending step lands).
    bool next() { return settled(prefetcher->showNext()); }
    bool previous() { return settled(prefetcher->showPrevious()); }
    bool settled(Step step) {
        const bool landed = settle().shown;
        return step == Step::Shown || (step == Step::Pending && landed);
    }

    test::ScratchFolder folder;
    std::shared_ptr<FakeDecoder> decoder = std::make_shared<FakeDecoder>();
    std::unique_ptr<Prefetcher> prefetcher = std::make_unique<Prefetcher>(decodeWith(decoder));
};

} // namespace

TEST_F(PrefetcherTest, OpeningPrefetchesAwayFromTheEndOfTheFolder) {
    files({"a.png", "b.png", "c.png"});
    ASSERT_TRUE(open("b.png"));
    EXPECT_EQ(cache(), "b@0 c@1");
    EXPECT_EQ(prefetcher->folderCount(), 3);

    ASSERT_TRUE(open("c.png")); // the last file: its previous picture is wanted next
    EXPECT_EQ(cache(), "b@-1 c@0");
}

TEST_F(PrefetcherTest, OnePictureFolderHasNoNeighbours) {
    files({"only.png", "notes.txt"});
    ASSERT_TRUE(open("only.png"));
    EXPECT_EQ(prefetcher->folderCount(), 1);
    EXPECT_EQ(prefetcher->showNext(), Step::None);
    EXPECT_EQ(prefetcher->showPrevious(), Step::None);
    EXPECT_EQ(decoder->decodes(""), 1); // the open itself; no worker decoded anything
    EXPECT_EQ(shown(), "only.png");
}

TEST_F(PrefetcherTest, NextThenPreviousIsServedFromTheCacheWithoutWrapAround) {
    files({"a.png", "b.png", "c.png"});
    ASSERT_TRUE(open("b.png"));
    EXPECT_EQ(prefetcher->showNext(), Step::Shown);
    EXPECT_EQ(shown(), "c.png");
    EXPECT_EQ(prefetcher->showNext(), Step::None);
    settle();
    EXPECT_EQ(prefetcher->showPrevious(), Step::Shown);
    EXPECT_EQ(shown(), "b.png");
    EXPECT_EQ(decoder->decodes("b.png"), 1);
    EXPECT_EQ(decoder->decodes("c.png"), 1);
    ASSERT_TRUE(previous());
    EXPECT_EQ(prefetcher->showPrevious(), Step::None);
    EXPECT_EQ(shown(), "a.png");
}

TEST_F(PrefetcherTest, FileThatFailsIsDroppedAndTheStepLandsBeyondIt) {
    files({"a.png", "b.png", "c.png", "d.png", "e.png"});
    decoder->fail("b.png");
    decoder->fail("d.png");
    ASSERT_TRUE(open("a.png"));
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "c.png");
    EXPECT_EQ(prefetcher->folderCount(), 3); // b dropped, and d while prefetching past c

    // Backward: the failing file before the one on show is skipped the same way.
    ASSERT_TRUE(open("e.png"));
    ASSERT_TRUE(previous());
    EXPECT_EQ(shown(), "c.png");
    EXPECT_EQ(prefetcher->folderPathAt(2), folder.path() + "e.png");
    EXPECT_EQ(prefetcher->folderCount(), 3);
}

TEST_F(PrefetcherTest, WhenEveryFileAheadFailsTheStepIsOver) {
    files({"a.png", "b.png", "c.png"});
    decoder->fail("b.png");
    decoder->fail("c.png");
    ASSERT_TRUE(open("a.png"));
    EXPECT_EQ(cache(), "a@0");
    EXPECT_EQ(prefetcher->folderCount(), 1);
    EXPECT_EQ(prefetcher->showNext(), Step::None);
    EXPECT_EQ(shown(), "a.png");
}

TEST_F(PrefetcherTest, WayBackStaysOpenAfterTheFilesAheadFailed) {
    // The prefetch past the last good file finds nothing; the full cache must still make room
    // for the pictures behind.
    files({"a.png", "b.png", "c.png", "d.png", "e.png"});
    decoder->fail("e.png");
    ASSERT_TRUE(open("a.png"));
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
    const uint8_t pixels[2 * 2 * 4] = {};
    ASSERT_TRUE(prefetcher->adopt({2, 2, 8, 32, pixels}));
    ASSERT_NE(prefetcher->current(), nullptr);
    EXPECT_EQ(prefetcher->current()->path, "");
    EXPECT_EQ(prefetcher->current()->width, 2);
    EXPECT_EQ(cache(), "paste@0");

    EXPECT_FALSE(previous());
    // The pasted picture stands before every name of the list, so "next" starts at its second
    // file.
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "b.png");
    EXPECT_EQ(prefetcher->folderCount(), 3);

    EXPECT_FALSE(prefetcher->adopt({0, 0, 0, 32, nullptr}));
    EXPECT_EQ(shown(), "b.png");
}

TEST_F(PrefetcherTest, NothingIsDecodedAheadBeforeTheWindowExists) {
    files({"a.png", "b.png", "c.png"});
    windowExists(false); // start-up: the command-line file is opened first
    ASSERT_TRUE(open("a.png"));
    EXPECT_EQ(decoder->decodes("b.png"), 0);
    EXPECT_EQ(cache(), "a@0");

    windowExists(true);
    settle();
    EXPECT_EQ(decoder->decodes("b.png"), 1);
    EXPECT_TRUE(next());
    EXPECT_EQ(shown(), "b.png");
}

// A step, an open or a held key never waits for a decode: the picture on show stays until the
// one asked for lands, whatever the decoder does meanwhile.
TEST_F(PrefetcherTest, StepsAndOpensNeverWaitForADecode) {
    files({"a.png", "b.png", "c.png", "d.png", "e.png"});
    ASSERT_TRUE(open("a.png"));
    ASSERT_TRUE(next()); // b on show, c decoded ahead
    decoder->hold("d.png");
    ASSERT_EQ(prefetcher->showNext(), Step::Shown); // c
    decoder->waitUntilHeld();                       // the worker is stuck in d's decode
    EXPECT_EQ(prefetcher->showNext(), Step::Pending);
    for (int repeat = 0; repeat < 5; ++repeat) // a held key stays put, asking for nothing more
        EXPECT_EQ(prefetcher->showNext(), Step::Pending);
    EXPECT_EQ(shown(), "c.png");

    // An open meanwhile does not wait either; when it fails, nothing changes.
    decoder->fail("a.png");
    prefetcher->open(folder.path() + "a.png");
    EXPECT_EQ(shown(), "c.png");

    decoder->release();
    const Prefetcher::Changes landed = settle();
    EXPECT_TRUE(landed.openFailed);
    EXPECT_EQ(shown(), "c.png"); // the open asked for later replaced the step
    EXPECT_EQ(decoder->decodes("d.png"), 1);
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "d.png");
}

TEST_F(PrefetcherTest, LargePicturesAreHeldAsTheirScreenCopiesUntilTheFullOneIsWanted) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"}) {
        decoder->describe(name, {6000, 4000, 24, 0xFF806040, {}, true});
        folder.file(name);
    }
    windowExists(true, true);
    prefetcher->open(folder.path() + "a.jpg");
    PrefetcherTestPeer::waitUntilIdle(*prefetcher);
    EXPECT_TRUE(prefetcher->poll().shown);
    // Shown from its screen copy, at its full size; the neighbour ahead is held the same way, and
    // no full decode is made until the window wants one.
    EXPECT_EQ(prefetcher->current()->size().width, 6000);
    settle();
    EXPECT_EQ(cache(), "a~@0 b~@1");
    EXPECT_EQ(decoder->fullDecodes(""), 0);
    EXPECT_TRUE(prefetcher->wantFull());
    EXPECT_TRUE(settle().upgraded);
    EXPECT_EQ(cache(), "a@0 b~@1");
    // Stepped away from, it is held as its copy again.
    ASSERT_TRUE(next());
    EXPECT_EQ(cache(), "a~@-1 b~@0 c~@1");
    EXPECT_EQ(decoder->fullDecodes(""), 1);

    // A held key (steps close together): every step lands on a reduced decode, and two pictures
    // are decoded ahead.
    PrefetcherTestPeer::setFastSteps(*prefetcher, std::chrono::seconds(60));
    for (const char* expected : {"c.jpg", "d.jpg"}) {
        const Step step = prefetcher->showNext();
        PrefetcherTestPeer::waitUntilIdle(*prefetcher);
        const bool landed = prefetcher->poll().shown;
        EXPECT_TRUE(step == Step::Shown || landed);
        EXPECT_EQ(shown(), expected);
    }
    EXPECT_THAT(cache(), testing::EndsWith("@-1 d~@0 e~@1 f~@2"));
    // The picture the key stopped at gets its full decode at once when the window needs it.
    EXPECT_TRUE(prefetcher->requireFull(std::chrono::seconds(20)));
    EXPECT_THAT(cache(), testing::EndsWith("@-1 d@0 e~@1 f~@2"));
    EXPECT_EQ(decoder->fullDecodes(""), 2);

    // At natural size the window wants every picture whole: the neighbours get their full
    // decodes, nearest first, and keep them.
    PrefetcherTestPeer::setFastSteps(*prefetcher, std::chrono::milliseconds(0));
    windowExists(true, false);
    settle();
    EXPECT_THAT(cache(), testing::EndsWith("@-1 d@0 e@1 f@2"));
    ASSERT_TRUE(next());
    EXPECT_THAT(cache(), testing::EndsWith("d@-1 e@0 f@1"));
}

#if VISTREL_MODERN_FORMATS // HEIF files are listed where the build reads them
TEST_F(PrefetcherTest, AStandInSmallerThanItsScreenCopyIsFollowedByItsFullDecode) {
    // As a HEIF file's thumbnail: shown at once, and replaced by the full decode unasked.
    for (const char* name : {"a.heic", "b.heic"}) {
        decoder->describe(name, {4000, 3000, 24, 0xFF806040, {}, true, true});
        folder.file(name);
    }
    windowExists(true, true);
    ASSERT_TRUE(open("a.heic"));
    EXPECT_EQ(cache(), "a@0 b~@1");
    EXPECT_EQ(decoder->fullDecodes("a.heic"), 1);
    ASSERT_TRUE(next());
    EXPECT_EQ(cache(), "a~@-1 b@0");
    EXPECT_EQ(decoder->fullDecodes("b.heic"), 1);
}
#endif

TEST_F(PrefetcherTest, NeighbourThatWouldPassTheBudgetIsNotDecodedAhead) {
    for (const char* name : {"a.png", "b.png", "c.png", "d.png"})
        decoder->describe(name, {1000, 1000, 32, 0xFF806040, {}}); // 4 MB each
    decoder->describe("big.png", {4000, 1000, 32, 0xFF806040, {}});
    files({"a.png", "b.png", "big.png", "c.png", "d.png"}); // sorted: a b big c d
    auto bytes = [&](const char* path, const ScreenCopyPolicy&) -> uint64_t {
        return std::string(fileNameOf(path)) == "big.png" ? 16'000'016 : 4'000'016;
    };
    std::string log;
    setDebugLogSink([&](const std::string& line) { log += line + "\n"; });
    prefetcher = std::make_unique<Prefetcher>(decodeWith(decoder), bytes);
    PrefetcherTestPeer::setFastSteps(*prefetcher, std::chrono::milliseconds(0));
    windowExists(true);
    prefetcher->setMemoryBudget(13'000'000);

    ASSERT_TRUE(open("a.png"));
    ASSERT_TRUE(next()); // a@-1 b@0: big (16 MB) would pass the budget even alone
    EXPECT_EQ(cache(), "a@-1 b@0");
    EXPECT_EQ(decoder->decodes("big.png"), 0);
    EXPECT_NE(log.find("big.png not decoded ahead"), std::string::npos) << log;
    // The picture on show is always decoded; the ones behind it go to stay in the budget.
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "big.png");
    EXPECT_EQ(cache(), "big@0");
    prefetcher->setMemoryBudget(30'000'000);
    settle();
    EXPECT_EQ(cache(), "big@0 c@1");
    setDebugLogSink({});
}

// The budget reads every format's header: an icon, a cursor and a metafile that claim 4000 x 4000
// pixels (48 MB held) are not decoded ahead either.
TEST_F(PrefetcherTest, IconCursorAndMetafileNeighboursAreHeldToTheBudget) {
    auto words = [](std::initializer_list<int> values) { // little-endian 16-bit fields
        std::string bytes;
        for (const int value : values)
            bytes += {char(value & 0xFF), char(value >> 8)};
        return bytes;
    };
    // A directory of one 32 x 32 entry whose bitmap header says 4000 x 8000 (with the mask).
    auto icon = [&](int type) {
        return words({0, type, 1, 0x2020, 0, 1, 32, 40, 0, 22, 0}) +
               words({40, 0, 4000, 0, 8000, 0, 1, 32}) + std::string(24, '\0');
    };
    folder.file("a.png");
    folder.file("b.ico", icon(1));
    folder.file("c.cur", icon(2));
    // Placeable header: a frame of 4000 x 4000 units at 96 to the inch; then the metafile header.
    folder.file("d.wmf", words({0xCDD7, 0x9AC6, 0, 0,     0, 4000, 4000, 96, 0, 0,
                                0,      1,      9, 0x300, 0, 0,    0,    0,  0, 0}));
    prefetcher = std::make_unique<Prefetcher>(decodeWith(decoder)); // estimates from the headers
    PrefetcherTestPeer::setFastSteps(*prefetcher, std::chrono::milliseconds(0));
    windowExists(true);
    prefetcher->setMemoryBudget(13'000'000);

    ASSERT_TRUE(open("a.png"));
    for (const char* name : {"b.ico", "c.cur", "d.wmf"}) {
        EXPECT_EQ(decoder->decodes(name), 0) << name << " was decoded ahead";
        ASSERT_TRUE(next()); // a step's own picture is decoded whatever it takes
    }
}

// The window learns of arrivals through one call, made on the thread that hands over: once for a
// burst, again after each poll, never once it is cleared.
TEST_F(PrefetcherTest, ArrivalsAreAnnouncedOnceUntilTheNextPoll) {
    files({"a.png", "b.png", "c.png"});
    std::atomic<int> calls{0};
    prefetcher->setArrivalCall([&] { ++calls; });
    prefetcher->open(Prefetcher::startOpening( // the start-up thread's
        folder.path() + "a.png",
        [&](CachedPicture& record, const char* path) { return decoder->decode(record, path); }));
    PrefetcherTestPeer::waitUntilIdle(*prefetcher);
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(prefetcher->poll().shown);
    PrefetcherTestPeer::waitUntilIdle(*prefetcher); // b decoded ahead
    ASSERT_EQ(prefetcher->showNext(), Step::Shown); // taken without a poll
    PrefetcherTestPeer::waitUntilIdle(*prefetcher); // c decoded ahead: no call until the poll
    EXPECT_EQ(calls, 2);
    prefetcher->setArrivalCall({});
    ASSERT_TRUE(open("c.png"));
    EXPECT_EQ(calls, 2);
}

TEST_F(PrefetcherTest, ClosingDoesNotWaitForADecode) {
    files({"a.png", "b.png"});
    std::atomic<int> calls{0};
    prefetcher->setArrivalCall([&] { ++calls; });
    decoder->hold("b.png");
    prefetcher->open(folder.path() + "a.png");
    PrefetcherTestPeer::waitUntilIdle(*prefetcher);
    ASSERT_TRUE(prefetcher->poll().shown);
    decoder->waitUntilHeld();    // b, decoded ahead
    prefetcher->endWorker(true); // returns while the decode is held
    EXPECT_EQ(decoder->decodes("b.png", true), 0);
    EXPECT_GE(Prefetcher::abandonedWorkers(), 1);
    prefetcher.reset(); // the abandoned worker keeps what it touches alive
    const int before = calls;

    decoder->release();
    while (Prefetcher::abandonedWorkers() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(decoder->decodes("b.png", true), 1);
    EXPECT_EQ(calls, before); // handed over to nobody: the window's call is gone with it
    Prefetcher::exitIfWorkerAbandoned(3); // nothing is left running: returns
}

TEST_F(PrefetcherTest, ProcessEndsAtOnceWhileAnAbandonedWorkerDecodes) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    files({"a.png", "b.png"});
    EXPECT_EXIT(
        {
            decoder->hold("b.png"); // never released
            prefetcher->open(folder.path() + "a.png");
            PrefetcherTestPeer::waitUntilIdle(*prefetcher);
            prefetcher->poll();
            decoder->waitUntilHeld();
            prefetcher->endWorker(true);
            Prefetcher::exitIfWorkerAbandoned(3);
            std::exit(0);
        },
        testing::ExitedWithCode(3), "");
}
