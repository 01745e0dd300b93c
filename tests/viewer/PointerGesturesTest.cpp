// The mouse's gestures on their own, without a window: when a right click becomes the menu, the
// close of a right double click and the counting of a right-drag zoom's ticks (the window's side,
// its timers and frames, is in InputTest; a drag and the echo of its moves, in tests/e2e).
#include "PointerGestures.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

using RightRelease = PointerGestures::RightRelease;

const Rect kScreen{0, 0, 1920, 1080};
const Rect kWindow = Rect::at({760, 390}, {400, 300});

TEST(PointerGestures, RightClickOpensTheMenuWithinEightPixelsUnlessItBecameADoubleClick) {
    PointerGestures g;
    g.pressRight({100, 50}, kWindow); // at (860, 440) on the screen
    EXPECT_EQ(g.releaseRight(), RightRelease::MenuLater);
    EXPECT_TRUE(g.menuOpens({860 + 7, 440 - 7}, kWindow));
    for (const Point moved : {Point{8, 0}, Point{0, -8}, Point{-9, 3}})
        EXPECT_FALSE(g.menuOpens({860 + moved.x, 440 + moved.y}, kWindow));
    // Measured in the window where it stands when the timer runs out.
    EXPECT_TRUE(g.menuOpens({870, 440}, kWindow.movedTo({770, 390})));

    // Press, release, double click, release: the menu timer opens nothing, the release closes;
    // until a left release forgets it.
    g.pressRight({100, 50}, kWindow);
    EXPECT_EQ(g.releaseRight(), RightRelease::MenuLater);
    g.doubleClickRight();
    EXPECT_FALSE(g.menuOpens({860, 440}, kWindow));
    EXPECT_EQ(g.releaseRight(), RightRelease::Close);
    g.releaseLeft(kWindow);
    g.pressRight({100, 50}, kWindow);
    EXPECT_EQ(g.releaseRight(), RightRelease::MenuLater);

    // The wheel turned the picture while the button was held: no menu, for that press only.
    g.pressRight({100, 50}, kWindow);
    g.turnedByWheel();
    EXPECT_EQ(g.releaseRight(), RightRelease::Nothing);
    g.pressRight({100, 50}, kWindow);
    EXPECT_EQ(g.releaseRight(), RightRelease::MenuLater);
}

TEST(PointerGestures, RightDragZoomStartsSidewaysAndDrawsOneQualityFrameAfterThirtyStillTicks) {
    const Rect window = Rect::at({860, 465}, {200, 150});
    const Size picture{200, 150};
    PointerGestures g;
    g.pressRight({100, 75}, window);
    EXPECT_FALSE(g.startsZoom({108, 75}, picture, kScreen));
    EXPECT_FALSE(g.startsZoom({92, 400}, picture, kScreen)); // vertical movement never starts it
    EXPECT_FALSE(g.startsZoom({300, 75}, {1920, 200}, kScreen)); // as wide as the screen
    EXPECT_TRUE(g.startsZoom({110, 75}, picture, kScreen));
    EXPECT_FALSE(g.startsZoom({120, 75}, picture, kScreen)); // under way already

    // 50 pixels right of the press: 100 wider, about the pressed point.
    const Point cursor{860 + 100 + 50, 465 + 75};
    const auto first = g.zoomTick(cursor, picture, kScreen, window.size());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->to, Rect::at({810, 428}, {300, 225}));
    EXPECT_TRUE(first->fast);
    const Size now = first->to.size();
    for (int tick = 0; tick < 30; ++tick)
        EXPECT_FALSE(g.zoomTick(cursor, picture, kScreen, now)) << tick;
    const auto quality = g.zoomTick(cursor, picture, kScreen, now);
    ASSERT_TRUE(quality);
    EXPECT_FALSE(quality->fast);
    EXPECT_EQ(quality->to, first->to);
    for (int tick = 0; tick < 40; ++tick)
        EXPECT_FALSE(g.zoomTick(cursor, picture, kScreen, now));
    EXPECT_EQ(g.releaseRight(), RightRelease::EndZoom); // its last frame was the quality one

    // Moving on after the quality frame draws fast again; its release asks for a quality frame.
    g.pressRight({100, 75}, window);
    ASSERT_TRUE(g.startsZoom({110, 75}, picture, kScreen));
    ASSERT_TRUE(g.zoomTick(cursor, picture, kScreen, window.size()));
    for (int tick = 0; tick < 30; ++tick)
        g.zoomTick(cursor, picture, kScreen, now);
    EXPECT_EQ(g.releaseRight(), RightRelease::FinishZoom);
}

} // namespace
} // namespace vistrel
