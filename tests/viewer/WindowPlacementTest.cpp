// The placement's state on its own, without a window: what fit, zoom, keys and lock places make
// of it and which of them are stored (the window's side, which picture it is given and what
// reaches the host, is in PlacementTest).
#include "WindowPlacement.h"
#include "WindowHarness.h"

namespace vistrel::test {
namespace {

using Change = WindowPlacement::Change;

const Rect kScreen{0, 0, 1920, 1080};
const Size kBig{4000, 3000};

class Placing : public ::testing::Test {
protected:
    void SetUp() override { installPlatform(&platform_); }
    void TearDown() override { installPlatform(nullptr); }

    FakePlatform platform_;
    WindowPlacement p_;
};

// The zoom's arithmetic is in LayoutTest; the fit key and the edge keys in tests/e2e.
TEST_F(Placing, ZoomKeysSwitchFitForPicturesAsLargeAsTheScreen) {
    p_.layOut(kBig, kScreen, {}, nullptr);
    EXPECT_EQ(p_.zoomStep(true, kBig, kScreen), Change::LayOut);
    EXPECT_FALSE(p_.fitToScreen());
    EXPECT_EQ(p_.zoomStep(true, kBig, kScreen), Change::None);
    EXPECT_EQ(p_.zoomStep(false, kBig, kScreen), Change::LayOut);
    EXPECT_TRUE(p_.fitToScreen());
}

TEST_F(Placing, FitToggleEndsAZoomAndAFitByClickKeepsTheClickedPointOverALockPlace) {
    // A small picture: only the setting flips, unless it is zoomed (once: the toggle ends it).
    p_.layOut({800, 600}, kScreen, {}, nullptr);
    EXPECT_EQ(p_.toggleFit(Size{800, 600}, {5, 5}, kScreen), Change::None);
    EXPECT_EQ(platform_.settings["NoneScale"], "1");
    p_.zoomStep(true, {800, 600}, kScreen);
    EXPECT_EQ(p_.toggleFit(Size{800, 600}, {5, 5}, kScreen), Change::LayOut);
    EXPECT_EQ(p_.toggleFit(Size{800, 600}, {5, 5}, kScreen), Change::None);
    EXPECT_EQ(p_.toggleFit(std::nullopt, {5, 5}, kScreen), Change::None); // the start page
    EXPECT_EQ(platform_.settings["NoneScale"], "0");

    // A big one, locked at the screen's top-left corner: a fit by click keeps the clicked
    // picture point where it was on the screen instead of going to the lock place.
    platform_.settings = {{"LockPlace", "0"}, {"xLockPlace", "0"}, {"yLockPlace", "0"}};
    p_.readSettings();
    p_.layOut(kBig, kScreen, {}, nullptr);
    EXPECT_EQ(p_.window(), Rect::at({0, 0}, {1440, 1080}));
    EXPECT_EQ(p_.toggleFit(kBig, {720, 540}, kScreen), Change::Place); // about that point
    EXPECT_EQ(p_.window(), Rect::at({-1280, -960}, kBig));
    const Point anchor{1000, 1000}; // at (-280, 40) on the screen
    EXPECT_EQ(p_.toggleFit(kBig, anchor, kScreen), Change::LayOut);
    p_.layOut(kBig, kScreen, {}, &anchor);
    EXPECT_EQ(p_.window(), Rect::at({-640, -320}, {1440, 1080}));
}

TEST_F(Placing, LockPlaceHoldsTheStoredAnchorUnlessCtrlOrShiftKeepTheWindow) {
    platform_.settings = {{"LockPlace", "8"}, {"xLockPlace", "1900"}, {"yLockPlace", "1000"}};
    p_.readSettings();
    p_.layOut({300, 200}, kScreen, {}, nullptr);
    EXPECT_EQ(p_.window(), (Rect{1600, 800, 1900, 1000}));
    p_.layOut({500, 100}, kScreen, {}, nullptr);
    EXPECT_EQ(p_.window(), (Rect{1400, 900, 1900, 1000}));
    p_.layOut({200, 100}, kScreen, {true, false}, nullptr); // the top-left stays
    EXPECT_EQ(p_.window(), (Rect{1400, 900, 1600, 1000}));
    p_.layOut({400, 300}, kScreen, {false, true}, nullptr); // the centre (1500, 950) stays
    EXPECT_EQ(p_.window(), (Rect{1300, 800, 1700, 1100}));

    // A move takes the anchor with it.
    p_.moveTo({1400, 650});
    p_.followMove(kScreen);
    EXPECT_EQ(platform_.settings["xLockPlace"], "1800");
    EXPECT_EQ(platform_.settings["yLockPlace"], "950");
    EXPECT_EQ(platform_.settings["LockPlace"], "8");
}

} // namespace
} // namespace vistrel::test
