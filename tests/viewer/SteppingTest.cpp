// The window never waits for a decode: a key, an open or a close is handled while a decoder is
// stuck; and a reduced first frame gives way to its full decode before a zoom needs it.
#include "WindowHarness.h"

#include <thread>
#include <tuple>

namespace vistrel::test {
namespace {

using Stepping = WindowTest;

TEST_F(Stepping, KeysAndCloseAreHandledWhileADecodeHangs) {
    for (const char* name : {"a.png", "b.png", "c.png"})
        AddFile(name, 40, 30);
    CreateAndOpen("a.png"); // b decoded ahead
    decoder_->hold("c.png");
    window_.perform(Action::NextPicture);
    EXPECT_EQ(host_.title, "b.png [40x30]");
    decoder_->waitUntilHeld(); // the workers are stuck in c's decode
    window_.perform(Action::NextPicture);
    window_.perform(Action::NextPicture);
    EXPECT_EQ(host_.title, "b.png [40x30]"); // stays put
    window_.perform(Action::CloseOrStopSlideShow);
    EXPECT_EQ(host_.closes, 1);

    decoder_->release();
    Settle();
    EXPECT_EQ(host_.title, "c.png [40x30]"); // the step landed, once
}

TEST_F(Stepping, ReducedFirstFrameGivesWayToTheFullDecodeBeforeAZoom) {
    AddFile("big.jpg", FakePicture{4000, 3000, 24, 0xFF806040, {}, true});
    ASSERT_TRUE(window_.create(host_));
    ASSERT_TRUE(window_.openFile(Path("big.jpg").c_str()));
    PrefetcherTestPeer::waitUntilIdle(window_.pictures());
    decoder_->hold("big.jpg"); // its full decode, which follows
    window_.onPicturesArrived();
    ASSERT_TRUE(Shown().reduced());
    EXPECT_EQ(host_.title, "big.jpg [4000x3000]"); // the full size, from the start
    EXPECT_EQ(host_.geometry, (Rect{240, 0, 240 + 1440, 1080}));

    // A zoom needs the full picture: it waits for the decode under way.
    std::thread decodeEnds([&] {
        decoder_->waitUntilHeld();
        decoder_->release();
    });
    window_.perform(Action::ZoomIn);
    decodeEnds.join();
    EXPECT_FALSE(Shown().reduced());
    EXPECT_EQ(host_.geometry.width(), 4000);
    EXPECT_EQ(decoder_->fullDecodes("big.jpg"), 1);
}

TEST_F(Stepping, FirstAndLastPicturesPassOverFilesThatDoNotDecode) {
    for (const char* name : {"a.png", "b.png", "c.png", "d.png", "e.png", "f.png"})
        AddFile(name, 40, 30);
    CreateAndOpen("c.png");
    decoder_->fail("f.png");
    EXPECT_EQ(window_.pictures().showLast(), Prefetcher::Step::Pending); // far: opened
    Settle();
    EXPECT_EQ(host_.title, "e.png [40x30]");
    EXPECT_EQ(window_.pictures().showLast(), Prefetcher::Step::None); // e is the last now
    EXPECT_EQ(window_.pictures().showFirst(), Prefetcher::Step::Pending);
    Settle();
    EXPECT_EQ(host_.title, "a.png [40x30]");
    Do(Action::NextPicture); // the list stays the folder's
    EXPECT_EQ(host_.title, "b.png [40x30]");
}

TEST_F(Stepping, AFileThatDidNotOpenIsThePlaceTheKeysStepFrom) {
    for (const char* name : {"a.png", "broken.png", "c.png", "e.png"})
        AddFile(name, 40, 30);
    decoder_->fail("broken.png");
    // A missing file stands between its neighbours, a broken one at its own place; a step goes
    // on past a file that does not decode.
    for (const auto& [name, before, after] :
         {std::tuple{"b.png", "a.png", "c.png"}, std::tuple{"broken.png", "a.png", "c.png"},
          std::tuple{"d.png", "c.png", "e.png"}}) {
        for (const Action step : {Action::PreviousPicture, Action::NextPicture}) {
            SCOPED_TRACE(std::string(name) + (step == Action::NextPicture ? " next" : " previous"));
            ViewerWindow window(decodeWith(decoder_));
            FakeHost host;
            ASSERT_TRUE(window.create(host));
            auto settle = [&] {
                for (int i = 0; i < 100; ++i) {
                    PrefetcherTestPeer::waitUntilIdle(window.pictures());
                    if (!host.deliverArrival(window)) break;
                }
            };
            window.openFile(Path(name).c_str());
            settle();
            EXPECT_EQ(host.title, "Vistrel"); // the start page
            window.perform(step);
            settle();
            EXPECT_EQ(host.title,
                      std::string(step == Action::NextPicture ? after : before) + " [40x30]");
        }
    }
}

TEST_F(Stepping, SeveralFilesAreTheListStepThroughInTheirOrder) {
    ScratchFolder other;
    const std::string b = AddFile("b.png", 40, 30), a = AddFile("a.png", 40, 30);
    decoder_->describe("z.png", FakePicture{50, 30, 24, 0xFF806040, {}});
    const std::string z = other.file("z.png");
    ASSERT_TRUE(window_.create(host_));
    ASSERT_TRUE(window_.openFile(b.c_str(), {b, z, a}));
    Settle();
    EXPECT_EQ(host_.title, "b.png [40x30]");
    Do(Action::NextPicture);
    EXPECT_EQ(host_.title, "z.png [50x30]");
    Do(Action::NextPicture);
    EXPECT_EQ(host_.title, "a.png [40x30]");
    Do(Action::NextPicture);
    EXPECT_EQ(host_.title, "a.png [40x30]");
    EXPECT_EQ(window_.pictures().folderCount(), 3);
    EXPECT_EQ(window_.pictures().showFirst(), Prefetcher::Step::Shown); // still held
    EXPECT_EQ(Shown().path, b);
}

} // namespace
} // namespace vistrel::test
