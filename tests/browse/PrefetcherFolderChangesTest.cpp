// The prefetch cache following its folder on disk: files written, added and removed while the
// user browses, as the window's folder watch reports them.
#include "FakeDecoder.h"
#include "PrefetcherTestPeer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace vistrel;
using Step = Prefetcher::Step;

namespace {

class FolderChanges : public testing::Test {
protected:
    void SetUp() override {
        PrefetcherTestPeer::setFastSteps(*prefetcher, std::chrono::milliseconds(0));
        prefetcher->setPolicy({{1920, 1080}, true, {}});
    }
    void open(std::initializer_list<const char*> names, const std::string& shown) {
        for (const char* name : names)
            folder.file(name);
        prefetcher->open(folder.path() + shown);
        ASSERT_TRUE(settle().shown);
    }
    Prefetcher::Changes settle() { return PrefetcherTestPeer::settle(*prefetcher); }
    std::string cache() { return PrefetcherTestPeer::cache(*prefetcher); }
    std::string shown() { return PrefetcherTestPeer::shown(*prefetcher); }
    // The file written (its decode makes a w x h picture of `bgra`) and the change reported.
    void write(const std::string& name, int w = 1, int h = 1, uint32_t bgra = 0xFF806040) {
        decoder->describe(name, FakePicture{w, h, 24, bgra, {}});
        folder.file(name);
        prefetcher->fileWritten(folder.path() + name);
    }
    void remove(const std::string& name) {
        std::remove((folder.path() + name).c_str());
        prefetcher->fileRemoved(folder.path() + name);
    }
    bool next() {
        const Step step = prefetcher->showNext();
        return settle().shown || step == Step::Shown;
    }

    test::ScratchFolder folder;
    std::shared_ptr<FakeDecoder> decoder = std::make_shared<FakeDecoder>();
    std::unique_ptr<Prefetcher> prefetcher = std::make_unique<Prefetcher>(decodeWith(decoder));
};

} // namespace

TEST_F(FolderChanges, AddedFilesJoinInOrderAndTheNeighboursHeldMoveAside) {
    open({"img1.png", "img2.png", "img10.png"}, "img2.png");
    EXPECT_EQ(cache(), "img2@0 img10@1");
    write("img3.png");
    EXPECT_EQ(cache(), "img2@0 img10@2"); // at once: a step must not land on img10
    write("notes.txt");                   // no picture
    prefetcher->fileWritten("/elsewhere/img4.png");
    EXPECT_EQ(prefetcher->folderCount(), 4);
    settle();
    EXPECT_EQ(cache(), "img2@0 img3@1 img10@2");
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "img3.png");
    EXPECT_EQ(decoder->decodes("img10.png"), 1); // kept, not decoded again
    EXPECT_EQ(decoder->decodes("img2.png"), 1);  // the picture on show was never disturbed
}

TEST_F(FolderChanges, RemovedNeighbourLeavesAndTheStepGoesPastIt) {
    open({"a.png", "b.png", "c.png", "d.png"}, "b.png");
    EXPECT_EQ(cache(), "b@0 c@1");
    remove("c.png");
    EXPECT_EQ(cache(), "b@0");
    EXPECT_EQ(prefetcher->folderCount(), 3);
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "d.png");
}

TEST_F(FolderChanges, PictureOnShowWhoseFileLeftStaysUntilTheUserStepsAway) {
    open({"a.png", "b.png", "c.png"}, "b.png");
    remove("b.png"); // deleted, or moved to the trash
    EXPECT_EQ(shown(), "b.png");
    EXPECT_EQ(prefetcher->folderCount(), 3); // listed while on show: steps go on from its place
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "c.png");
    EXPECT_EQ(prefetcher->folderCount(), 2);
    EXPECT_EQ(cache(), "c@0");
    ASSERT_EQ(prefetcher->showPrevious(), Step::Pending);
    settle();
    EXPECT_EQ(shown(), "a.png");

    // Removed while the step away from it is pending, as a delete key does: the step lands, then
    // it leaves.
    open({"d.png"}, "a.png");
    decoder->hold("c.png");
    write("c.png"); // decoded again, slowly
    ASSERT_EQ(prefetcher->showNext(), Step::Pending);
    decoder->waitUntilHeld();
    remove("a.png");
    decoder->release();
    settle();
    EXPECT_EQ(shown(), "c.png");
    EXPECT_EQ(prefetcher->folderPathAt(0), folder.path() + "c.png");

    // Written again before it left: it stays.
    remove("c.png");
    write("c.png");
    ASSERT_TRUE(next());
    EXPECT_EQ(prefetcher->folderPathAt(0), folder.path() + "c.png");
}

TEST_F(FolderChanges, PictureOnShowWrittenOverIsDecodedAgainAndAFailureKeepsIt) {
    open({"a.png", "b.png"}, "a.png");
    write("a.png", 1, 1, 0xFFFF0000); // the same size, red
    Prefetcher::Changes changes = settle();
    EXPECT_TRUE(changes.reloaded);
    EXPECT_FALSE(changes.reloadResized);
    EXPECT_FALSE(changes.shown);
    EXPECT_EQ(prefetcher->current()->picture->pixels()[2], 0xFF); // blue, green, red
    EXPECT_EQ(cache(), "a@0 b@1");

    write("a.png", 5, 4);
    changes = settle();
    EXPECT_TRUE(changes.reloaded && changes.reloadResized);
    EXPECT_EQ(prefetcher->current()->size(), (Size{5, 4}));

    // Half written, or broken by the editor: the picture on show stays, and stays listed.
    decoder->fail("a.png");
    write("a.png");
    changes = settle();
    EXPECT_FALSE(changes.reloaded);
    EXPECT_EQ(prefetcher->current()->size(), (Size{5, 4}));
    EXPECT_EQ(prefetcher->folderCount(), 2);

    // A neighbour written over is dropped and decoded again.
    write("b.png", 7, 7);
    EXPECT_EQ(cache(), "a@0");
    settle();
    EXPECT_EQ(decoder->decodes("b.png"), 2);
    ASSERT_TRUE(next());
    EXPECT_EQ(prefetcher->current()->size(), (Size{7, 7}));
}

TEST_F(FolderChanges, DecodeBegunBeforeAWriteIsNotKept) {
    folder.file("a.png");
    folder.file("b.png");
    decoder->hold("b.png");
    prefetcher->open(folder.path() + "a.png");
    PrefetcherTestPeer::waitUntilIdle(*prefetcher);
    ASSERT_TRUE(prefetcher->poll().shown);
    decoder->waitUntilHeld(); // the neighbour's decode reads the old file
    write("b.png", 3, 3);
    decoder->release();
    settle();
    EXPECT_EQ(decoder->decodes("b.png"), 2);
    ASSERT_TRUE(next());
    EXPECT_EQ(prefetcher->current()->size(), (Size{3, 3}));
}

TEST_F(FolderChanges, LostChangesListTheFolderAnew) {
    open({"a.png", "b.png", "c.png"}, "b.png");
    folder.file("bb.png"); // unreported: the watch's queue overflowed
    prefetcher->folderChanged();
    settle();
    EXPECT_EQ(cache(), "b@0 bb@1 c@2");
    EXPECT_EQ(decoder->decodes("b.png"), 2); // the picture on show may have changed too
}

TEST_F(FolderChanges, PlainOrderKeptBehindTheSetting) {
    prefetcher->setNaturalOrder(false);
    open({"img1.png", "img2.png", "img10.png"}, "img2.png");
    EXPECT_EQ(prefetcher->showNext(), Step::None); // img1, img10, img2
    prefetcher->setNaturalOrder(true);
    ASSERT_TRUE(next());
    EXPECT_EQ(shown(), "img10.png");
}
