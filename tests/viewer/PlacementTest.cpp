// Where the window goes as the user acts, as the window hands it to WindowPlacement and applies
// it: start-up settings, double clicks, the modifiers of a step, lock places and rotation (the
// placement's own rules are in WindowPlacementTest, the arithmetic in LayoutTest).
#include "ViewerApp.h"
#include "WindowHarness.h"

#include <chrono>
#include <map>
#include <thread>

namespace vistrel::test {
namespace {

using Placement = WindowTest;

TEST_F(Placement, StoredNoneScaleStartsABigPictureAtNaturalSizeAndReleasesTheWorker) {
    for (const char* stored : {"1", "2"}) {
        SCOPED_TRACE(stored);
        platform_.settings["NoneScale"] = stored;
        AddFile("big.jpg", 4000, 3000);
        AddFile("next.jpg", 10, 10);
        ViewerWindow window(decodeWith(decoder_));
        ViewerApp app;
        app.beginOpening({Path("big.jpg")}, [&](CachedPicture& record, const char* path,
                                                const auto& policy) {
            return decoder_->decode(record, path, policy.wait()) ? kOk
                                                                 : DecodeResult(Refusal::Malformed);
        });
        ASSERT_TRUE(app.start(window, host_));
        EXPECT_EQ(host_.geometry, (Rect{-2080, -1920, 1920, 1080}));
        // 2 is no "natural size" setting: fit stays on for the pictures that follow.
        EXPECT_EQ(window.placement().fitToScreen(), std::string(stored) == "2");
        EXPECT_EQ(host_.title, "big.jpg [4000x3000]");
        // The workers start once the first frame is painted.
        PrefetcherTestPeer::waitUntilIdle(window.pictures());
        EXPECT_EQ(decoder_->decodes("next.jpg"), std::string(stored) == "1" ? 0 : 1);
        window.onPaint(host_.lastCanvas);
        EXPECT_TRUE(host_.deliverArrival(window));
        PrefetcherTestPeer::waitUntilIdle(window.pictures());
        EXPECT_EQ(decoder_->decodes("next.jpg"), std::string(stored) == "1" ? 1 : 2);
    }
}

// The header of a BMP file of w x h pixels of `bits`, without the pixels: all a window made ahead
// of the decode reads.
std::string BmpHeader(int w, int h, int bits) {
    std::string bytes(54, '\0');
    auto put = [&](std::size_t at, uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes[at + i] = char(value >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, 54 + uint32_t(w) * h * bits / 8, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, uint32_t(w), 4);
    put(22, uint32_t(h), 4);
    put(26, 1, 2);
    put(28, uint32_t(bits), 2);
    return bytes;
}

// The window is made while the command line's picture decodes, from its header, exactly where and
// how the picture is then shown: else the first frame waits for it to be moved or made again.
TEST_F(Placement, TheWindowMadeAheadIsTheOneThePictureIsShownIn) {
    const struct {
        std::map<std::string, std::string> settings;
        int w, h, bits;
    } cases[] = {
        {{}, 4000, 3000, 24}, // fitted
        {{}, 300, 200, 32},   // its own size; an alpha channel asks for translucency
        {{{"NoneScale", "1"}}, 4000, 3000, 24},
        {{{"LockPlace", "8"}, {"xLockPlace", "1900"}, {"yLockPlace", "1000"}}, 300, 200, 24},
        {{{"NoneTopMost", "1"}}, 800, 600, 24},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        platform_.settings = c.settings;
        const std::string name = std::to_string(n++) + ".bmp";
        AddFile(name, c.w, c.h, c.bits, 0x80806040); // half transparent
        folder_.file(name, BmpHeader(c.w, c.h, c.bits));
        FakeHost host;
        ViewerWindow window(decodeWith(decoder_));
        ViewerApp app;
        app.beginOpening({Path(name)}, [&](CachedPicture& record, const char* path,
                                           const auto& policy) {
            // Still decoding when the window starts: until it is made ahead, or two seconds.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (host.prepares == 0 && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return decoder_->decode(record, path, policy.wait()) ? kOk
                                                                 : DecodeResult(Refusal::Malformed);
        });
        ASSERT_TRUE(app.start(window, host));
        EXPECT_EQ(host.prepares, 1);
        EXPECT_EQ(host.preparedGeometry, host.geometry);
        EXPECT_EQ(host.preparedTopMost, host.topMost);
        EXPECT_EQ(host.preparedAlpha, host.translucent);
        window.onClose();
    }
}

// A double click on a big picture: WindowPlacementTest, and tests/e2e.
TEST_F(Placement, DoubleClickOnAPictureThatFitsStoresTheSettingAndCentresTheWindow) {
    AddFile("small.png", 800, 600);
    CreateAndOpen("small.png");
    Do(Action::StartMove, {5, 5});
    Move({15, 5}, true, false);
    window_.onRelease(MouseButton::Left);
    Do(Action::FitToScreenAtPointer, {5, 5});
    EXPECT_EQ(host_.geometry, (Rect{560, 240, 1360, 840}));
    EXPECT_EQ(platform_.settings["NoneScale"], "1");
}

TEST_F(Placement, CtrlHeldWhileSteppingKeepsTheTopLeft) {
    AddFile("a.png", 400, 300);
    AddFile("b.png", 200, 100);
    CreateAndOpen("a.png"); // at (760, 390)
    host_.keys = {true, false};
    Do(Action::NextPicture);
    EXPECT_EQ(host_.geometry, (Rect{760, 390, 960, 490}));
}

TEST_F(Placement, AKeptCornerOrCentreNeverLeavesTheWindowMostlyOffTheScreen) {
    platform_.settings["NoneScale"] = "1";
    window_.readSettings();
    AddFile("a.png", 4000, 3000);
    AddFile("b.png", 640, 480);
    CreateAndOpen("a.png");
    Do(Action::ShowRightEdge);
    Do(Action::ShowBottomEdge);
    EXPECT_EQ(host_.geometry, Rect::at({-2080, -1920}, {4000, 3000}));
    host_.keys = {true, false}; // the top-left (-2080, -1920) would hide b.png
    Do(Action::NextPicture);
    EXPECT_EQ(host_.geometry, Rect::at({0, 0}, {640, 480}));
}

TEST_F(Placement, TheShiftThatTypesTheFitKeyKeepsNoCentre) {
    platform_.settings["NoneScale"] = "1";
    window_.readSettings();
    AddFile("a.png", 4000, 3000);
    CreateAndOpen("a.png"); // at natural size from the top-left, centre (2000, 1500)
    host_.keys = {false, true};
    Do(Action::ToggleFitToScreen);
    EXPECT_EQ(host_.geometry, Rect::at({240, 0}, {1440, 1080}));
}

TEST_F(Placement, StoredLockPlaceHoldsThePictureAndADragMovesItsAnchor) {
    platform_.settings = {{"LockPlace", "8"}, {"xLockPlace", "1900"}, {"yLockPlace", "1000"}};
    AddFile("a.png", 300, 200);
    window_.readSettings();
    CreateAndOpen("a.png");
    EXPECT_EQ(host_.geometry, (Rect{1600, 800, 1900, 1000}));
    Do(Action::StartMove, {0, 0});
    EXPECT_TRUE(host_.captured);
    Move({-100, -50}, true, false);
    window_.onRelease(MouseButton::Left);
    EXPECT_FALSE(host_.captured);
    EXPECT_EQ(host_.geometry, (Rect{1500, 750, 1800, 950}));
    EXPECT_EQ(platform_.settings["xLockPlace"], "1800");
}

TEST_F(Placement, RotationKeepsTheCentreAndRefitsATurnedBigPicture) {
    AddFile("a.png", 800, 600);
    AddFile("big.jpg", 4000, 3000);
    CreateAndOpen("a.png");
    window_.onCommand(MenuCommand::RotateClockwise);
    EXPECT_EQ(host_.geometry, (Rect{660, 140, 660 + 600, 140 + 800}));
    Open("big.jpg");
    window_.onCommand(MenuCommand::RotateCounterClockwise);
    EXPECT_EQ(host_.geometry, (Rect{555, 0, 555 + 810, 1080}));
}

} // namespace
} // namespace vistrel::test
