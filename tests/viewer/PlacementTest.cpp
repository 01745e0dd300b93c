// Where the window goes: fit to screen, natural size, start-up placement, moves, zoom steps,
// lock places and rotation, on a 1920 x 1080 screen.
#include "FakeHost.h"
#include "ViewerApp.h"

namespace vistrel::test {
namespace {

using Placement = ViewerTest;

TEST_F(Placement, BigPictureIsFittedAndCentredOrShownFromTheTopLeftWithFitOff) {
    AddFile("/p/big.jpg", 4000, 3000);
    CreateAndOpen("/p/big.jpg");
    EXPECT_EQ(Stored(), (Rect{240, 0, 240 + 1440, 1080}));
    EXPECT_EQ(host_.geometry, Stored());

    Window().OnKeyDown(Vk8); // fit off: natural size from the top-left, running off the screen
    EXPECT_EQ(Stored(), (Rect{0, 0, 4000, 3000}));
    EXPECT_TRUE(Window().MoveToScreenEdge(VkEnd));
    EXPECT_EQ(Window().windowX, -2080);
    EXPECT_EQ(host_.geometry.left, -2080);
    EXPECT_TRUE(Window().MoveToScreenEdge(VkPageDown));
    EXPECT_EQ(Window().windowY, -1920);
    EXPECT_TRUE(Window().MoveToScreenEdge(VkHome));
    EXPECT_EQ(Window().windowX, 0);
    EXPECT_FALSE(Window().MoveToScreenEdge(VkHome)); // already there: nothing moves
    // The key flips the flag but stores nothing.
    EXPECT_EQ(platform_.settings.count("NoneScale"), 0u);
}

TEST_F(Placement, WidePictureIsFittedToTheScreenWidth) {
    AddFile("/p/wide.png", 6000, 2000);
    CreateAndOpen("/p/wide.png");
    EXPECT_EQ(Stored(), (Rect{0, 220, 1920, 220 + 640}));
}

TEST_F(Placement, StartUpWithNoneScaleOneCreatesTheBigPictureAtTheRightAndBottomEdges) {
    platform_.settings["NoneScale"] = "1";
    AddFile("/p/big.jpg", 4000, 3000);
    ViewerApp app;
    ASSERT_TRUE(app.InitInstance(Window(), host_, "/p/big.jpg"));
    EXPECT_EQ(host_.geometry, (Rect{-2080, -1920, 1920, 1080}));
    EXPECT_FALSE(Window().flags & FitToScreen);
    EXPECT_EQ(host_.title, "big.jpg [4000x3000]");
    EXPECT_TRUE(source_->resumed);
}

TEST_F(Placement, NoneScaleTwoKeepsFitOnButCreatesTheWindowAtNaturalSize) {
    platform_.settings["NoneScale"] = "2";
    AddFile("/p/big.jpg", 4000, 3000);
    ViewerApp app;
    ASSERT_TRUE(app.InitInstance(Window(), host_, "\"/p/big.jpg\""));
    EXPECT_TRUE(Window().flags & FitToScreen);
    EXPECT_EQ(host_.geometry, (Rect{-2080, -1920, 1920, 1080}));
}

TEST_F(Placement, DoubleClickOnASmallPictureOnlyStoresTheSettingAndRecentres) {
    AddFile("/p/small.png", 800, 600);
    CreateAndOpen("/p/small.png");
    Window().windowX = 10;
    Window().OnLButtonDblClk(0, {5, 5});
    EXPECT_FALSE(Window().flags & FitToScreen);
    EXPECT_EQ(platform_.settings["NoneScale"], "1");
    EXPECT_EQ(Stored(), (Rect{560, 240, 1360, 840}));
    Window().OnLButtonDblClk(0, {5, 5});
    EXPECT_EQ(platform_.settings["NoneScale"], "0");
}

TEST_F(Placement, DoubleClickOnAFittedPictureKeepsThePointUnderTheCursor) {
    AddFile("/p/big.jpg", 4000, 3000);
    CreateAndOpen("/p/big.jpg"); // 1440 x 1080 at (240, 0)
    Window().OnLButtonDblClk(0, {720, 540});
    // The screen point (960, 540) shows picture point (2000, 1500) at natural size.
    EXPECT_EQ(Stored(), (Rect{-1040, -960, -1040 + 4000, -960 + 3000}));
    EXPECT_EQ(platform_.settings["NoneScale"], "1");
    Window().OnLButtonDblClk(0, {2000, 1500}); // back to the fitted, centred window
    EXPECT_EQ(Stored(), (Rect{240, 0, 240 + 1440, 1080}));
    EXPECT_EQ(platform_.settings["NoneScale"], "0");
}

TEST_F(Placement, KeyZoomOutStopsAtTheHeightBoundAndKeepsTheCentre) {
    AddFile("/p/bar.png", 400, 40);
    CreateAndOpen("/p/bar.png");
    const Point centre{960, 540};
    const int expected[][2] = {{360, 36}, {324, 32}, {320, 32}, {320, 32}};
    for (const auto& size : expected) {
        Window().ZoomStep(false);
        EXPECT_EQ(Window().windowWidth, size[0]);
        EXPECT_EQ(Window().windowHeight, size[1]);
        EXPECT_EQ(Window().windowX, centre.x - size[0] / 2);
        EXPECT_EQ(Window().windowY, centre.y - size[1] / 2);
    }
    EXPECT_TRUE(Window().flags & Zoomed);
    EXPECT_EQ(host_.geometry, Stored());
}

TEST_F(Placement, KeyZoomInIsBoundedByTheScreenAndAScreenSizedPictureTogglesFit) {
    AddFile("/p/tall.png", 500, 1000);
    CreateAndOpen("/p/tall.png");
    Window().ZoomStep(true); // 550 x 1100 would pass the screen height
    EXPECT_EQ(Window().windowHeight, 1080);
    EXPECT_EQ(Window().windowWidth, 540);

    AddFile("/p/big.jpg", 4000, 3000);
    ASSERT_TRUE(Window().OpenFile("/p/big.jpg"));
    Window().ZoomStep(true);
    EXPECT_FALSE(Window().flags & FitToScreen);
    EXPECT_EQ(Window().windowWidth, 4000);
    Window().ZoomStep(false);
    EXPECT_TRUE(Window().flags & FitToScreen);
    EXPECT_EQ(Window().windowWidth, 1440);
}

TEST_F(Placement, DragMovesTheWindowAndSkipsTheMoveItCausedItself) {
    AddFile("/p/small.png", 400, 300);
    CreateAndOpen("/p/small.png"); // at (760, 390)
    ViewerWindow& w = Window();
    w.OnLButtonDown(MkLButton, {10, 10});
    w.OnMouseMove(MkLButton, {30, 25}); // the cursor went 20 right, 15 down
    EXPECT_EQ(host_.geometry.left, 780);
    EXPECT_EQ(host_.geometry.top, 405);
    w.OnMouseMove(MkLButton, {10, 10}); // the window's own displacement
    EXPECT_EQ(host_.geometry.left, 780);
    w.OnMouseMove(MkLButton, {15, 10});
    EXPECT_EQ(host_.geometry.left, 785);
    w.OnLButtonUp(0, {15, 10});
    EXPECT_EQ(w.flags & (Dragging | SkipNextMove), 0u);
    w.OnLButtonDown(MkLButton | MkControl, {1, 1}); // Ctrl: no move
    EXPECT_FALSE(w.flags & Dragging);
}

TEST_F(Placement, CtrlKeepsTheTopLeftUnlessVIsDownAndShiftKeepsTheCentre) {
    AddFile("/p/a.png", 400, 300);
    AddFile("/p/b.png", 200, 100);
    CreateAndOpen("/p/a.png"); // at (760, 390)
    host_.keys = KeyControl;
    Window().OnKeyDown(VkRight);
    EXPECT_EQ(Stored(), (Rect{760, 390, 960, 490}));
    Window().windowX = 100, Window().windowY = 100;
    host_.keys = KeyControl | KeyV; // a paste, not a step that keeps the corner
    Window().OnKeyDown(VkLeft);
    EXPECT_EQ(Stored(), (Rect{760, 390, 1160, 690}));
    Window().windowX = 100, Window().windowY = 100;
    host_.keys = KeyShift;
    Window().OnKeyDown(VkDown); // centre (300, 250) kept
    EXPECT_EQ(Stored(), (Rect{200, 200, 400, 300}));
}

TEST_F(Placement, LockPlaceHoldsTheAnchorFromPictureToPicture) {
    AddFile("/p/a.png", 300, 200);
    AddFile("/p/b.png", 500, 100);
    Window().lockPlace = 8;
    Window().lockAnchorX = 1900, Window().lockAnchorY = 1000;
    CreateAndOpen("/p/a.png");
    EXPECT_EQ(Stored(), (Rect{1600, 800, 1900, 1000}));
    Window().OnKeyDown(VkRight);
    EXPECT_EQ(Stored(), (Rect{1400, 900, 1900, 1000}));
}

TEST_F(Placement, CaptureLockPlaceTakesTheThirdOfTheScreenTheCentreIsIn) {
    AddFile("/p/a.png", 200, 100);
    CreateAndOpen("/p/a.png");
    ViewerWindow& w = Window();
    w.windowX = 640 - 100, w.windowY = 0; // centre exactly at SW/3: middle column
    w.CaptureLockPlace();
    EXPECT_EQ(w.lockPlace, 1);
    EXPECT_EQ(platform_.settings["xLockPlace"], "640");
    EXPECT_EQ(platform_.settings["yLockPlace"], "0");
    w.lockPlace = -1;
    w.windowX = 639 - 100, w.windowY = 1080 - 100; // left column, bottom row
    w.CaptureLockPlace();
    EXPECT_EQ(w.lockPlace, 6);
    EXPECT_EQ(platform_.settings["LockPlace"], "6");
    EXPECT_EQ(platform_.settings["yLockPlace"], "1080");

    // With user lock on, the place stays and only the anchor follows the window.
    w.ToggleUserLock();
    EXPECT_EQ(platform_.settings["UserLock"], "1");
    w.windowX = 1700, w.windowY = 0;
    w.CaptureLockPlace();
    EXPECT_EQ(w.lockPlace, 6);
    EXPECT_EQ(platform_.settings["xLockPlace"], "1700");
    w.ChooseLockPlace(2);
    EXPECT_EQ(platform_.settings["xLockPlace"], "1900");
    w.ToggleLockPlace(); // unlock
    EXPECT_EQ(w.lockPlace, -1);
    EXPECT_EQ(platform_.settings["LockPlace"], "-1");
    EXPECT_EQ(platform_.settings["UserLock"], "0");
}

TEST_F(Placement, RotationKeepsTheCentreAndRefitsATurnedBigPicture) {
    AddFile("/p/a.png", 800, 600);
    CreateAndOpen("/p/a.png"); // (560, 240), centre (960, 540)
    Window().RotateView(90);
    EXPECT_EQ(Stored(), (Rect{660, 140, 660 + 600, 140 + 800}));
    EXPECT_EQ(host_.geometry, Stored());

    AddFile("/p/big.jpg", 4000, 3000);
    ASSERT_TRUE(Window().OpenFile("/p/big.jpg"));
    Window().RotateView(-90);
    EXPECT_EQ(Stored(), (Rect{(1920 - 810) / 2, 0, (1920 - 810) / 2 + 810, 1080}));
}

} // namespace
} // namespace vistrel::test
