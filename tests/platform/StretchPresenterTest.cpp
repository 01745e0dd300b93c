// Where the stretched picture lands in the window: its aspect kept, the margins split evenly.
#include "StretchPresenter.h"

#include <gtest/gtest.h>

using namespace vistrel;

TEST(PresenterFit, MarginsAreSplitAndTheOddPixelStaysInside) {
    EXPECT_EQ(StretchPresenter::aspectFit({0, 0, 100, 100}, 200, 100), (Rect{0, 25, 100, 75}));
    EXPECT_EQ(StretchPresenter::aspectFit({0, 0, 100, 100}, 100, 200), (Rect{25, 0, 75, 100}));
    // Height 100 * 3 / 7 = 42, margin 58 / 2 = 29 from each side: 42 rows inside.
    EXPECT_EQ(StretchPresenter::aspectFit({0, 0, 100, 100}, 7, 3), (Rect{0, 29, 100, 71}));
    EXPECT_EQ(StretchPresenter::aspectFit({0, 0, 101, 100}, 1, 1), (Rect{0, 0, 101, 100}));
}
