// The window never waits for a decode: a key, an open or a close is handled while a decoder is
// stuck; and a reduced first frame gives way to its full decode before a zoom needs it.
#include "WindowHarness.h"

#include <thread>

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

} // namespace
} // namespace vistrel::test
