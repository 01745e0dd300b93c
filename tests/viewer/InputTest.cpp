// Keys, mouse gestures and the window's timers on the recording host, on a 1920 x 1080 screen.
#include "FakeHost.h"
#include "TopDown.h"

namespace vistrel::test {
namespace {

class Input : public ViewerTest {
protected:
    // Screen point of client point `p` of the window where it stands now.
    Point OnScreen(Point p) { return {host_.geometry.left + p.x, host_.geometry.top + p.y}; }

    // A right click at `at` whose cursor has moved by `moved` when the menu timer ticks.
    void RightClick(Point at, Point moved) {
        Window().OnRButtonDown(MkRButton, at);
        Window().OnRButtonUp(0, at);
        const Point p = OnScreen(at);
        host_.cursor = {p.x + moved.x, p.y + moved.y};
        Window().OnTimer(TimerRightClick);
    }

    // 32-bit, fully opaque except one pixel, in a one-pixel checkerboard: a picture whose zoomed
    // frames show which filter drew them.
    void AddCheckerboard(const std::string& path, int w, int h) {
        Picture& picture = *AddFile(path, w, h, 32).picture;
        uint8_t* p = picture.lockBits();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* pixel = p + std::size_t(y) * picture.rowSize() + 4 * x;
                pixel[0] = pixel[1] = pixel[2] = (x + y) % 2 ? 255 : 0;
                pixel[3] = x == 0 && y == 0 ? 0 : 255;
            }
        picture.unlockBits();
    }
};

TEST_F(Input, RightClickOpensTheMenuAtThePressPointUnlessTheCursorMovedEightPixels) {
    AddFile("/p/a.png", 400, 300);
    CreateAndOpen("/p/a.png"); // at (760, 390)
    Window().OnRButtonDown(MkRButton, {100, 50});
    EXPECT_TRUE(host_.captured);
    Window().OnRButtonUp(0, {100, 50});
    EXPECT_FALSE(host_.captured);
    EXPECT_EQ(host_.timers[TimerRightClick], 200);
    EXPECT_TRUE(host_.menus.empty()); // not before the timer

    host_.cursor = {860 + 7, 440 - 7};
    Window().OnTimer(TimerRightClick);
    EXPECT_FALSE(host_.running(TimerRightClick));
    ASSERT_EQ(host_.menus.size(), 1u);
    EXPECT_EQ(host_.menuPoints[0], (Point{860, 440}));

    for (const Point moved : {Point{8, 0}, Point{0, -8}, Point{-9, 3}})
        RightClick({100, 50}, moved);
    EXPECT_EQ(host_.menus.size(), 1u);
    RightClick({100, 50}, {-7, 7});
    EXPECT_EQ(host_.menus.size(), 2u);
}

TEST_F(Input, RightDoubleClickClosesWithoutAMenuUntilALeftReleaseForgetsIt) {
    AddFile("/p/a.png", 400, 300);
    CreateAndOpen("/p/a.png");
    host_.cursor = OnScreen({10, 10});
    // Press, release, double click (in place of the second press), then the menu timer ticks
    // before or after the second release.
    Window().OnRButtonDown(MkRButton, {10, 10});
    Window().OnRButtonUp(0, {10, 10});
    Window().OnRButtonDblClk(MkRButton, {10, 10});
    Window().OnTimer(TimerRightClick);
    EXPECT_EQ(host_.closes, 0);
    Window().OnRButtonUp(0, {10, 10});
    EXPECT_EQ(host_.closes, 1);
    EXPECT_TRUE(host_.menus.empty());

    // The flag lives until a left release; a right click after that opens the menu again.
    Window().OnLButtonDown(MkLButton, {10, 10});
    Window().OnLButtonUp(0, {10, 10});
    RightClick({10, 10}, {0, 0});
    EXPECT_EQ(host_.menus.size(), 1u);
    EXPECT_EQ(host_.closes, 1);
}

TEST_F(Input, OnlyASidewaysRightDragOfMoreThanEightPixelsStartsTheZoomOfASmallPicture) {
    AddFile("/p/a.png", 400, 300);
    AddFile("/p/wide.png", 1920, 200); // as wide as the screen
    CreateAndOpen("/p/a.png");
    ViewerWindow& w = Window();
    w.OnRButtonDown(MkRButton, {100, 150});
    w.OnMouseMove(MkRButton, {108, 150});
    w.OnMouseMove(MkRButton, {92, 400}); // vertical movement never starts it
    EXPECT_FALSE(host_.running(TimerRightZoom));
    w.OnMouseMove(MkRButton, {91, 150});
    EXPECT_EQ(host_.timers[TimerRightZoom], 10);
    EXPECT_EQ(w.flags & (RightZooming | Zoomed), unsigned(RightZooming | Zoomed));
    w.OnRButtonUp(0, {91, 150});
    EXPECT_FALSE(host_.running(TimerRightZoom));
    EXPECT_FALSE(w.flags & RightZooming);
    EXPECT_FALSE(host_.running(TimerRightClick)); // the end of a zoom is no click

    ASSERT_TRUE(w.OpenFile("/p/wide.png"));
    w.OnRButtonDown(MkRButton, {100, 100});
    w.OnMouseMove(MkRButton, {300, 100});
    EXPECT_FALSE(host_.running(TimerRightZoom));
}

TEST_F(Input, RightDragZoomGrowsTwiceAsFastWithinTheScreenAndEndsWithOneQualityFrame) {
    AddCheckerboard("/p/c.png", 200, 150);
    CreateAndOpen("/p/c.png"); // at (860, 465)
    ViewerWindow& w = Window();
    w.OnRButtonDown(MkRButton, {100, 75});
    w.OnMouseMove(MkRButton, {110, 75});
    host_.cursor = {860 + 100 + 50, 465 + 75};
    w.OnTimer(TimerRightZoom);
    EXPECT_EQ(host_.geometry, (Rect{810, 428, 810 + 300, 428 + 225}));
    EXPECT_EQ(host_.layeredWidth, 300);
    const std::vector<uint32_t> fast = host_.layeredPixels;

    // Thirty still ticks draw nothing; the next one draws the same size in quality, once.
    const int frames = host_.layeredUpdates;
    for (int tick = 0; tick < 30; ++tick)
        w.OnTimer(TimerRightZoom);
    EXPECT_EQ(host_.layeredUpdates, frames);
    w.OnTimer(TimerRightZoom);
    EXPECT_EQ(host_.layeredUpdates, frames + 1);
    EXPECT_EQ(host_.layeredWidth, 300);
    EXPECT_NE(host_.layeredPixels, fast);
    for (int tick = 0; tick < 40; ++tick)
        w.OnTimer(TimerRightZoom);
    EXPECT_EQ(host_.layeredUpdates, frames + 1);

    // Moving on draws fast again; the screen bounds the size: 4:3 up to the screen's height.
    host_.cursor = {1900, 500};
    w.OnTimer(TimerRightZoom);
    EXPECT_EQ(host_.geometry.width(), 1440);
    EXPECT_EQ(host_.geometry.height(), 1080);
    EXPECT_EQ(host_.layeredUpdates, frames + 2);
    EXPECT_EQ(w.zoomStillTicks, 0); // a fast step: the next pause gets its quality frame too
    // Released before a quality frame: one is drawn now.
    w.OnRButtonUp(0, {0, 0});
    EXPECT_EQ(host_.layeredUpdates, frames + 3);

    // Released after the quality frame of a still zoom: nothing more to draw.
    w.OnRButtonDown(MkRButton, {100, 75});
    w.OnMouseMove(MkRButton, {0, 75});
    host_.cursor = {-1000, 500}; // far leftwards: down to a height of 32
    w.OnTimer(TimerRightZoom);
    EXPECT_EQ(host_.geometry.height(), 32);
    for (int tick = 0; tick <= 30; ++tick)
        w.OnTimer(TimerRightZoom);
    const int settled = host_.layeredUpdates;
    w.OnRButtonUp(0, {0, 75});
    EXPECT_EQ(host_.layeredUpdates, settled);
}

TEST_F(Input, WheelStepsAndWithTheRightButtonHeldTurnsThePictureWithoutAMenu) {
    AddFile("/p/a.png", 4, 2);
    AddFile("/p/b.png", 4, 2);
    CachedPicture& c = AddFile("/p/c.png", 4, 2, 24, 0x000000);
    CreateAndOpen("/p/b.png");
    Window().OnMouseWheel(0, 120);
    EXPECT_EQ(host_.title, "a.png [4x2]");
    Window().OnMouseWheel(0, -120);
    Window().OnMouseWheel(0, -240);
    EXPECT_EQ(host_.title, "c.png [4x2]");

    // Top-right pixel marked: wheel up turns counter-clockwise (it goes to the top-left), wheel
    // down clockwise.
    uint8_t* bits = c.picture->lockBits();
    bits[c.picture->rowSize() + 3 * 3 + 2] = 0xFF; // memory row 1 is the top row
    c.picture->unlockBits();
    Window().OnRButtonDown(MkRButton, {1, 1});
    Window().OnMouseWheel(MkRButton, 120);
    EXPECT_FALSE(host_.captured);
    EXPECT_EQ(c.picture->width(), 2);
    EXPECT_EQ(topDown(*c.picture)[0], 0xFFFF0000u);
    EXPECT_EQ(Window().windowWidth, 2);
    Window().OnMouseWheel(MkRButton, -120);
    Window().OnMouseWheel(MkRButton, -120);
    EXPECT_EQ(topDown(*c.picture)[7], 0xFFFF0000u); // half a turn on: bottom-right
    // The release ends the gesture: no menu follows.
    Window().OnRButtonUp(0, {1, 1});
    EXPECT_FALSE(host_.running(TimerRightClick));
}

TEST_F(Input, OneDroppedFileOpensAndSeveralDoNothing) {
    AddFile("/p/a.png", 400, 300);
    AddFile("/p/b.png", 200, 100);
    CreateAndOpen("/p/a.png");
    Window().OnDropFiles({"/p/b.png", "/p/a.png"});
    EXPECT_EQ(host_.title, "a.png [400x300]");
    Window().OnDropFiles({"/p/missing.png"});
    EXPECT_EQ(host_.title, "a.png [400x300]");
    Window().OnDropFiles({"/p/b.png"});
    EXPECT_EQ(host_.title, "b.png [200x100]");
}

TEST_F(Input, CtrlLeftDragOffersTheFileWithDropsOffMeanwhile) {
    FakeDesktop desktop;
    Window().SetDesktop(&desktop);
    AddFile("/p/a.png", 400, 300);
    CreateAndOpen("/p/a.png");
    const Rect before = host_.geometry;
    Window().OnLButtonDown(MkLButton | MkControl, {10, 10});
    Window().OnMouseMove(MkLButton | MkControl, {30, 30});
    EXPECT_EQ(desktop.calls, std::vector<std::string>{"drag /p/a.png"});
    EXPECT_EQ(host_.acceptDropsCalls, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.geometry, before); // no move

    // Ctrl pressed only after the left press: the window moves instead.
    Window().OnLButtonUp(0, {30, 30});
    Window().OnLButtonDown(MkLButton, {10, 10});
    Window().OnMouseMove(MkLButton | MkControl, {30, 30});
    EXPECT_EQ(desktop.calls.size(), 1u);
    EXPECT_EQ(host_.geometry.left, before.left + 20);
}

} // namespace
} // namespace vistrel::test
