// The placement arithmetic on a 1920 x 1080 screen: every rule that decides where the window
// stands and how large it is.
#include "Layout.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

const Rect kScreen{0, 0, 1920, 1080};

Rect At(int x, int y, int w, int h) {
    return Rect::at({x, y}, {w, h});
}

TEST(Layout, FitNaturalSizeAndCentring) {
    EXPECT_EQ(fitToScreen({4000, 3000}, kScreen), At(240, 0, 1440, 1080));
    EXPECT_EQ(fitToScreen({6000, 2000}, kScreen), At(0, 220, 1920, 640));
    EXPECT_EQ(fitToScreen({3000, 4000}, kScreen), At(555, 0, 810, 1080));
    // A picture larger than the screen starts at its top-left and runs off.
    EXPECT_EQ(naturalSize({4000, 3000}, kScreen), At(0, 0, 4000, 3000));
    EXPECT_EQ(naturalSize({400, 300}, kScreen), At(760, 390, 400, 300));
    EXPECT_EQ(centred({350, 300}, kScreen), At(785, 390, 350, 300));
    EXPECT_EQ(centred({4000, 3000}, kScreen), At(-1040, -960, 4000, 3000));
    // At start-up a window larger than the screen ends at its right and bottom edges.
    EXPECT_EQ(keptOnScreen(At(-1040, -960, 4000, 3000), kScreen), At(-2080, -1920, 4000, 3000));
    EXPECT_EQ(keptOnScreen(At(-10, 1000, 100, 100), kScreen), At(0, 980, 100, 100));
}

TEST(Layout, AWindowMostlyOffTheScreenIsBroughtBackByTheLeastMove) {
    // A corner of 640 x 120 of a fitted big picture shows: back to the bottom-right.
    EXPECT_EQ(broughtOnScreen(At(1280, 960, 1440, 1080), kScreen), At(480, 0, 1440, 1080));
    // Wholly off, above and left.
    EXPECT_EQ(broughtOnScreen(At(-2080, -1920, 640, 480), kScreen), At(0, 0, 640, 480));
    // Less than half shows: inside again; half or more: it stays.
    EXPECT_EQ(broughtOnScreen(At(1500, 800, 640, 480), kScreen), At(1280, 600, 640, 480));
    EXPECT_EQ(broughtOnScreen(At(1700, 100, 400, 300), kScreen), At(1700, 100, 400, 300));
    // Larger than the screen: it covers it again, along each axis as little moved as can be.
    EXPECT_EQ(broughtOnScreen(At(1000, 0, 4000, 3000), kScreen), At(0, 0, 4000, 3000));
    EXPECT_EQ(broughtOnScreen(At(-1040, -960, 4000, 3000), kScreen), At(-1040, -960, 4000, 3000));
    // A screen whose origin is not (0, 0).
    EXPECT_EQ(broughtOnScreen(At(0, 0, 400, 300), Rect{1920, 0, 3840, 1080}),
              At(1920, 0, 400, 300));
}

TEST(Layout, LockPlacesHoldTheirWindowPointAndFollowTheThirdsOfTheScreen) {
    const Rect window = At(1600, 800, 300, 200);
    EXPECT_EQ(lockAnchorOf(window, 0), (Point{1600, 800}));
    EXPECT_EQ(lockAnchorOf(window, 4), (Point{1750, 900}));
    EXPECT_EQ(lockAnchorOf(window, 8), (Point{1900, 1000}));
    LockPlace lock{8, {1900, 1000}};
    EXPECT_EQ(placedAtLock({500, 100}, lock), At(1400, 900, 500, 100));
    lock = {4, {960, 540}};
    EXPECT_EQ(placedAtLock({501, 101}, lock), At(710, 490, 501, 101));
    // The middle third includes its bounds: a centre at exactly 640 is in the middle column.
    EXPECT_EQ(lockPlaceFor({640, 0}, kScreen), 1);
    EXPECT_EQ(lockPlaceFor({639, 1030}, kScreen), 6);
    EXPECT_EQ(lockPlaceFor({1281, 360}, kScreen), 5);
    EXPECT_FALSE(LockPlace{}.locked());
    EXPECT_FALSE((LockPlace{9, {}}).locked());
}

TEST(Layout, AResizeKeepsThePointUnderTheCursor) {
    // The screen point (960, 540) of the fitted picture shows picture point (2000, 1500).
    EXPECT_EQ(keepingPointUnder(At(240, 0, 1440, 1080), {720, 540}, {4000, 3000}),
              At(-1040, -960, 4000, 3000));
    EXPECT_EQ(keepingPointUnder(At(5, 5, 0, 0), {1, 1}, {40, 30}), At(5, 5, 40, 30));
}

TEST(Layout, ZoomStepsStayBetween32PixelsAndTheScreenAroundTheCentre) {
    Rect window = At(760, 520, 400, 40);
    const int sizes[][2] = {{360, 36}, {324, 32}, {320, 32}, {320, 32}};
    for (const auto& size : sizes) {
        window = zoomStep(window, {400, 40}, false, kScreen);
        EXPECT_EQ(window, At(960 - size[0] / 2, 540 - size[1] / 2, size[0], size[1]));
    }
    // 550 x 1100 would pass the screen's height.
    EXPECT_EQ(zoomStep(At(710, 40, 500, 1000), {500, 1000}, true, kScreen), At(690, 0, 540, 1080));
}

TEST(Layout, RightDragZoomGrowsTwiceAsFastAroundThePressedPoint) {
    const Rect pressed = At(860, 465, 200, 150);
    EXPECT_EQ(rightDragZoom(pressed, {100, 75}, {1010, 540}, {200, 150}, kScreen),
              At(810, 428, 300, 225));
    // Bounded by the screen's height, and by 32 pixels.
    EXPECT_EQ(rightDragZoom(pressed, {100, 75}, {1900, 540}, {200, 150}, kScreen).size(),
              (Size{1440, 1080}));
    EXPECT_EQ(rightDragZoom(pressed, {100, 75}, {-1000, 540}, {200, 150}, kScreen).size(),
              (Size{42, 32}));
}

TEST(Layout, ScreenEdgesBringThatEdgeOfALargeWindowOnScreen) {
    const Rect big = At(0, 0, 4000, 3000);
    EXPECT_EQ(movedToScreenEdge(big, ScreenEdge::Right, kScreen), At(-2080, 0, 4000, 3000));
    EXPECT_EQ(movedToScreenEdge(big, ScreenEdge::Bottom, kScreen), At(0, -1920, 4000, 3000));
    EXPECT_EQ(movedToScreenEdge(At(-2080, -1920, 4000, 3000), ScreenEdge::Left, kScreen),
              At(0, -1920, 4000, 3000));
    EXPECT_EQ(movedToScreenEdge(At(-2080, -1920, 4000, 3000), ScreenEdge::Top, kScreen),
              At(-2080, 0, 4000, 3000));
    // A small window moves only when it hangs over that edge.
    EXPECT_EQ(movedToScreenEdge(At(-10, 5, 100, 100), ScreenEdge::Left, kScreen),
              At(0, 5, 100, 100));
    EXPECT_EQ(movedToScreenEdge(At(10, 5, 100, 100), ScreenEdge::Left, kScreen),
              At(10, 5, 100, 100));
    EXPECT_EQ(movedToScreenEdge(At(1850, 1000, 100, 100), ScreenEdge::Right, kScreen),
              At(1820, 1000, 100, 100));
    EXPECT_EQ(movedToScreenEdge(At(1850, 1000, 100, 100), ScreenEdge::Bottom, kScreen),
              At(1850, 980, 100, 100));
}

TEST(Layout, AQuarterTurnKeepsTheCentre) {
    EXPECT_EQ(turnedAboutCentre(At(560, 240, 800, 600)), At(660, 140, 600, 800));
}

} // namespace
} // namespace vistrel
