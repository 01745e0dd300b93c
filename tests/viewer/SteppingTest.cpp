// The window never waits for a decode: a key, an open or a close is handled while a decoder is
// stuck; a large picture is held as its screen copy until something needs its full decode.
#include "PictureFormat.h"
#include "WindowHarness.h"

#include <gmock/gmock.h>

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

// A large picture is held as its screen copy: the zooms and natural size show the copy
// stretched at once and the full picture when its decode lands; the turns, and a wallpaper
// written out, wait for it (a drag out hands the file over as it is).
class LargePicture : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        for (const char* name : {"big.jpg", "big.tga"})
            AddFile(name, FakePicture{2000, 1500, 24, 0xFF806040, {}, true});
        ASSERT_TRUE(window_.create(host_));
        window_.setDesktop(&desktop_);
    }
    // Opens `name` and checks that it shows from its copy alone, fitted.
    void OpenReduced(const std::string& name) {
        Open(name);
        ASSERT_TRUE(Shown().reduced());
        EXPECT_EQ(host_.title, name + " [2000x1500]"); // the full size, from the start
        EXPECT_EQ(host_.geometry, (Rect{240, 0, 240 + 1440, 1080}));
        EXPECT_EQ(decoder_->fullDecodes(name), 0);
    }
    // Runs `act` while the full decode of `name` is held: it returns without waiting for it.
    void WithoutTheFullDecode(const std::string& name, const std::function<void()>& act) {
        decoder_->hold(name);
        act();
        EXPECT_TRUE(Shown().reduced());
        decoder_->waitUntilHeld();
        decoder_->release();
        Settle();
    }
    // The full decode of `name` lands while `act` waits for it.
    void WaitingForTheFullDecode(const std::string& name, const std::function<void()>& act) {
        decoder_->hold(name);
        std::thread decodeEnds([&] {
            decoder_->waitUntilHeld();
            decoder_->release();
        });
        act();
        decodeEnds.join();
        EXPECT_FALSE(Shown().reduced());
    }
};

TEST_F(LargePicture, ZoomAndNaturalSizeStretchTheCopyAtOnceAndSharpenWhenTheFullDecodeLands) {
    OpenReduced("big.jpg");
    WithoutTheFullDecode("big.jpg", [&] {
        window_.perform(Action::ZoomIn); // as large as the screen: zooms to natural size
        EXPECT_EQ(host_.geometry.size(), (Size{2000, 1500}));
        EXPECT_EQ(host_.surfaceWidth, 1440); // the copy, stretched
    });
    EXPECT_FALSE(Shown().reduced());
    EXPECT_THAT(host_.lastCanvas.calls, testing::Contains("picture 2000x1500 at 0,0"));

    // Back in the fitted view it keeps the full picture while on show; natural size by double
    // click after a step back shows the copy stretched again until the full decode lands.
    Do(Action::ZoomOut);
    EXPECT_EQ(host_.geometry.size(), (Size{1440, 1080}));
    EXPECT_FALSE(Shown().reduced());
    Open("big.tga");
    Open("big.jpg");
    ASSERT_TRUE(Shown().reduced());
    WithoutTheFullDecode("big.jpg", [&] {
        window_.perform(Action::FitToScreenAtPointer, {720, 540});
        EXPECT_EQ(host_.geometry.size(), (Size{2000, 1500}));
        EXPECT_EQ(host_.surfaceWidth, 1440);
    });
    EXPECT_THAT(host_.lastCanvas.calls, testing::Contains("picture 2000x1500 at 0,0"));
    EXPECT_EQ(decoder_->fullDecodes("big.jpg"), 2);
}

TEST_F(LargePicture, TurnsAndAWallpaperWrittenOutWaitForTheFullDecode) {
    OpenReduced("big.jpg");
    WaitingForTheFullDecode("big.jpg", [&] { window_.perform(Action::TurnClockwise); });
    EXPECT_EQ(Shown().size(), (Size{1500, 2000}));
    EXPECT_EQ(Shown().picture->width(), 1500);

    // A desktop that cannot read TGA gets the picture written out, at full size; a JPEG file,
    // and a file dragged out, are handed over as they are, with no full decode.
    struct SizeDesktop : FakeDesktop {
        Size written;
        bool setWallpaper(const std::string& path) override {
            PictureHeader header;
            if (readPictureHeader(path.c_str(), header)) written = {header.width, header.height};
            return FakeDesktop::setWallpaper(path);
        }
    } desktop;
    window_.setDesktop(&desktop);
    OpenReduced("big.tga");
    WaitingForTheFullDecode("big.tga", [&] { window_.onCommand(MenuCommand::SetAsWallpaper); });
    EXPECT_EQ(desktop.written, (Size{2000, 1500}));
    Open("big.jpg");
    ASSERT_TRUE(Shown().reduced());
    window_.onCommand(MenuCommand::SetAsWallpaper);
    window_.onPointerMove({10, 10}, true, false, {true, false}); // Ctrl + left drag
    EXPECT_EQ(desktop.calls.back(), "drag " + Path("big.jpg"));
    EXPECT_EQ(desktop.calls.end()[-2], "wallpaper " + Path("big.jpg"));
    EXPECT_TRUE(Shown().reduced());
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
