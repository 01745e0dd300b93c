// The mouse gestures and the window's timers: the delayed right click, the right double click,
// the right-drag zoom, the wheel, dropped files and the drag out; the keys that reach the desktop
// or the ends of the list, and full screen.
#include "ArgbPixels.h"
#include "WindowHarness.h"

namespace vistrel::test {
namespace {

using Input = WindowTest;

// When a click is a click and when it closes: PointerGesturesTest; the menu it opens:
// CommandsTest.
TEST_F(Input, RightClickStartsTheMenuTimerAndADoubleClicksReleaseCloses) {
    AddFile("a.png", 400, 300);
    CreateAndOpen("a.png");
    Do(Action::PressRight, {100, 50});
    EXPECT_TRUE(host_.captured);
    window_.onRelease(MouseButton::Right);
    EXPECT_FALSE(host_.captured);
    EXPECT_EQ(host_.timers[Timer::RightClick], 200);
    EXPECT_TRUE(host_.menus.empty()); // not before the timer
    Do(Action::CloseOnRightRelease, {100, 50});
    window_.onRelease(MouseButton::Right);
    EXPECT_EQ(host_.closes, 1);
}

// The counting of the zoom's ticks: PointerGesturesTest.
TEST_F(Input, RightDragZoomDrawsFastFramesThenOneInQualityAndStopsAtTheRelease) {
    // 32 bits, opaque but for one pixel, in a one-pixel checkerboard: a picture whose zoomed
    // frames show which filter drew them.
    AddFile("c.png", {200, 150, 32, 0, [](CachedPicture& record) {
                          Picture& p = *record.picture;
                          for (int y = 0; y < 150; ++y)
                              for (int x = 0; x < 200; ++x) {
                                  uint8_t* pixel = p.pixels() + y * p.rowSize() + 4 * x;
                                  pixel[0] = pixel[1] = pixel[2] = (x + y) % 2 ? 255 : 0;
                                  pixel[3] = x == 0 && y == 0 ? 0 : 255;
                              }
                      }});
    CreateAndOpen("c.png"); // at (860, 465)
    Do(Action::PressRight, {100, 75});
    Move({110, 75}, false, true);
    EXPECT_EQ(host_.timers[Timer::RightZoom], 10);
    host_.cursor = {860 + 100 + 50, 465 + 75};
    Tick(Timer::RightZoom);
    EXPECT_EQ(host_.geometry, (Rect{810, 428, 810 + 300, 428 + 225}));
    EXPECT_EQ(host_.translucentWidth, 300);
    const std::vector<uint32_t> fast = host_.translucentPixels;

    // Thirty still ticks draw nothing; the next one draws the same size in quality.
    const int frames = host_.translucentFrames;
    for (int tick = 0; tick < 31; ++tick)
        Tick(Timer::RightZoom);
    EXPECT_EQ(host_.translucentFrames, frames + 1);
    EXPECT_NE(host_.translucentPixels, fast);
    // Moving on draws fast again, and a release before the next quality frame draws one.
    host_.cursor = {1900, 500};
    Tick(Timer::RightZoom);
    EXPECT_EQ(host_.translucentFrames, frames + 2);
    window_.onRelease(MouseButton::Right);
    EXPECT_EQ(host_.translucentFrames, frames + 3);
    EXPECT_FALSE(host_.running(Timer::RightZoom));
    EXPECT_FALSE(host_.running(Timer::RightClick)); // the end of a zoom is no click
}

TEST_F(Input, WheelWithTheRightButtonHeldTurnsThePictureWithoutAMenu) {
    // Top-right pixel marked.
    AddFile("a.png",
            {4, 2, 24, 0, [](CachedPicture& r) { r.picture->pixels()[3 * 3 + 2] = 0xFF; }});
    CreateAndOpen("a.png");
    Do(Action::PressRight, {1, 1});
    Do(Action::TurnCounterClockwise);
    EXPECT_FALSE(host_.captured);
    EXPECT_EQ(argbPixels(*Shown().picture)[0], 0xFFFF0000u); // to the top-left
    EXPECT_EQ(host_.geometry.size(), (Size{2, 4}));
    Do(Action::TurnClockwise);
    Do(Action::TurnClockwise);
    EXPECT_EQ(argbPixels(*Shown().picture)[7], 0xFFFF0000u); // half a turn on: bottom-right
    window_.onRelease(MouseButton::Right);
    EXPECT_FALSE(host_.running(Timer::RightClick));
}

TEST_F(Input, OneDroppedFileOpensAndSeveralDoNothing) {
    AddFile("a.png", 400, 300);
    AddFile("b.png", 200, 100);
    CreateAndOpen("a.png");
    window_.onDropFiles({Path("b.png"), Path("a.png")});
    window_.onDropFiles({Path("missing.png")});
    EXPECT_EQ(host_.title, "a.png [400x300]");
    window_.onDropFiles({Path("b.png")});
    Settle();
    EXPECT_EQ(host_.title, "b.png [200x100]");
}

TEST_F(Input, CtrlLeftDragOffersTheFileWithDropsOffMeanwhile) {
    window_.setDesktop(&desktop_);
    AddFile("a.png", 400, 300);
    CreateAndOpen("a.png");
    const Rect before = host_.geometry;
    Move({30, 30}, true, false, {true, false});
    EXPECT_EQ(desktop_.calls, std::vector<std::string>{"drag " + Path("a.png")});
    EXPECT_EQ(host_.acceptDropsCalls, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.geometry, before);

    // Ctrl pressed only after the left press: the window moves instead.
    Do(Action::StartMove, {10, 10});
    Move({30, 30}, true, false, {true, false});
    EXPECT_EQ(desktop_.calls.size(), 1u);
    EXPECT_EQ(host_.geometry.left, before.left + 20);
}

TEST_F(Input, DeleteTrashesTheFileAndShowsTheNextOrAtTheEndThePrevious) {
    window_.setDesktop(&desktop_);
    for (const char* name : {"a.png", "b.png", "c.png", "d.png"})
        AddFile(name, 40, 30);
    CreateAndOpen("a.png"); // b decoded ahead
    decoder_->hold("c.png");
    window_.perform(Action::MoveToTrash);
    EXPECT_EQ(desktop_.calls, std::vector<std::string>{"trash " + Path("a.png")});
    EXPECT_EQ(host_.title, "b.png [40x30]");
    // The picture after b is not decoded yet: it lands later, b's frame stays meanwhile.
    decoder_->waitUntilHeld();
    window_.perform(Action::MoveToTrash);
    EXPECT_EQ(host_.title, "b.png [40x30]");
    decoder_->release();
    Settle();
    EXPECT_EQ(host_.title, "c.png [40x30]");
    EXPECT_EQ(window_.pictures().folderCount(), 2);
    Do(Action::PreviousPicture); // a and b left the list
    EXPECT_EQ(host_.title, "c.png [40x30]");

    // The trash refuses: nothing changes.
    desktop_.trashFails = true;
    Do(Action::MoveToTrash);
    EXPECT_EQ(host_.title, "c.png [40x30]");
    desktop_.trashFails = false;
    Do(Action::NextPicture);
    Do(Action::MoveToTrash); // d, the last: c before it
    EXPECT_EQ(host_.title, "c.png [40x30]");
    Do(Action::MoveToTrash); // nothing left: the start page
    EXPECT_EQ(window_.pictures().current(), nullptr);
    EXPECT_EQ(host_.geometry.size(), (Size{350, 360}));
    EXPECT_EQ(desktop_.calls.size(), 4u);
}

TEST_F(Input, FullScreenFitsThePictureOnBlackAndEscLeavesIt) {
    AddFile("a.png", 800, 600);
    AddFile("b.png", 400, 300);
    CreateAndOpen("a.png");
    Do(Action::ToggleFullScreen);
    EXPECT_EQ(host_.geometry, (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(host_.lastCanvas.calls,
              (std::vector<std::string>{"fill 1920x1080 0", "picture 800x600 at 560,240"}));
    // Nothing moves or zooms the window; a step shows the next picture full screen too.
    Do(Action::ZoomIn);
    Do(Action::ShowRightEdge);
    Do(Action::StartMove, {10, 10});
    Move({300, 300}, true, false);
    window_.onRelease(MouseButton::Left);
    EXPECT_EQ(host_.geometry, (Rect{0, 0, 1920, 1080}));
    Do(Action::NextPicture);
    EXPECT_EQ(host_.lastCanvas.calls.back(), "picture 400x300 at 760,390");
    Do(Action::CloseOrStopSlideShow);
    EXPECT_EQ(host_.geometry, (Rect{760, 390, 1160, 690}));
    EXPECT_EQ(host_.closes, 0);
}

TEST_F(Input, KeysForTheEndsOfTheListAndTheClipboard) {
    window_.setDesktop(&desktop_);
    for (const char* name : {"a.png", "b.png", "c.png"})
        AddFile(name, 40, 30);
    // 32 bits whose fourth byte is padding: copied opaque.
    AddFile("d.bmp", FakePicture{20, 10, 32, 0x00112233, {}});
    CreateAndOpen("b.png");
    Do(Action::FirstPicture);
    EXPECT_EQ(host_.title, "a.png [40x30]");
    Do(Action::LastPicture);
    EXPECT_EQ(host_.title, "d.bmp [20x10x32]");
    Do(Action::CopyPicture);
    EXPECT_EQ(desktop_.calls.back(), "copy 20x10 " + Path("d.bmp"));
    EXPECT_EQ(desktop_.copiedPixel, 0xFF112233u);
}

} // namespace
} // namespace vistrel::test
