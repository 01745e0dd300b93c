// The metafile player's own filler: exact coverage along rows and by sub-rows down them, both
// fill rules, outlines far outside the picture pressed onto it, and a cost that counts only the
// rows inside.
#include "WmfFill.h"

#include <gtest/gtest.h>

using namespace vistrel;

namespace {

QPolygonF square(double left, double top, double right, double bottom, bool clockwise = true) {
    QPolygonF p{{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    if (!clockwise) std::reverse(p.begin(), p.end());
    return p;
}

// The whole coverage of `polygons` within `bounds`, filled in bands of `band` rows.
QImage covered(const QList<QPolygonF>& polygons, QRect bounds, bool winding, bool smooth,
               int band = 64) {
    WmfScanFill fill(polygons, bounds);
    QImage whole(bounds.size(), QImage::Format_Alpha8);
    whole.fill(0);
    if (fill.area().isEmpty()) return whole;
    QImage rows(fill.area().width(), band, QImage::Format_Alpha8);
    for (int top = fill.area().top(); top <= fill.area().bottom(); top += band) {
        const int n = std::min(band, fill.area().bottom() + 1 - top);
        fill.fill(winding, smooth, n, rows);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < rows.width(); ++x)
                whole.scanLine(top + y - bounds.top())[fill.area().left() + x - bounds.left()] =
                    rows.constScanLine(y)[x];
    }
    return whole;
}

int at(const QImage& coverage, int x, int y) {
    return coverage.constScanLine(y)[x];
}

} // namespace

TEST(WmfScanFill, CoverageIsTheAreaEachPixelHasOfTheOutline) {
    const QRect bounds(0, 0, 8, 8);
    const QImage smooth = covered({square(1.5, 1.5, 4.5, 4.5)}, bounds, false, true, 3);
    EXPECT_EQ(at(smooth, 2, 2), 255);
    EXPECT_NEAR(at(smooth, 1, 3), 128, 1); // half a pixel wide
    EXPECT_NEAR(at(smooth, 3, 4), 128, 1); // half a pixel high
    EXPECT_NEAR(at(smooth, 1, 1), 64, 1);  // a quarter
    EXPECT_EQ(at(smooth, 5, 3), 0);
    // Without smoothing a pixel is in when its centre is: on the top or left edge, in; on the
    // bottom or right edge, out.
    const QImage hard = covered({square(1.5, 1.5, 4.5, 4.5)}, bounds, false, false);
    EXPECT_EQ(at(hard, 1, 1), 255);
    EXPECT_EQ(at(hard, 3, 3), 255);
    EXPECT_EQ(at(hard, 4, 3), 0);
    EXPECT_EQ(at(hard, 3, 4), 0);
}

TEST(WmfScanFill, EvenOddLeavesOverlapsOutWindingFillsThemByDirection) {
    const QRect bounds(0, 0, 10, 4);
    const QList<QPolygonF> same = {square(0, 0, 6, 4), square(4, 0, 10, 4)};
    EXPECT_EQ(at(covered(same, bounds, false, true), 5, 2), 0);
    EXPECT_EQ(at(covered(same, bounds, true, true), 5, 2), 255);
    const QList<QPolygonF> opposite = {square(0, 0, 6, 4), square(4, 0, 10, 4, false)};
    EXPECT_EQ(at(covered(opposite, bounds, true, true), 5, 2), 0);
    EXPECT_EQ(at(covered(opposite, bounds, true, true), 2, 2), 255);
}

TEST(WmfScanFill, OutlinesFarOutsideArePressedOntoThePictureAndCostOnlyItsRows) {
    const QRect bounds(0, 0, 50, 40);
    const double far = double(1 << 24);
    const QList<QPolygonF> huge = {square(-far, -far, far, far)};
    WmfScanFill fill(huge, bounds);
    EXPECT_EQ(fill.area(), bounds);
    EXPECT_EQ(fill.crossings(false), 2u * 40); // two edges, forty rows
    EXPECT_EQ(fill.crossings(true), 2u * 40 * WmfScanFill::kSubRows);
    const QImage all = covered(huge, bounds, false, true);
    EXPECT_EQ(at(all, 0, 0), 255);
    EXPECT_EQ(at(all, 49, 39), 255);
    // Wholly above or below: nothing to fill, nothing to pay.
    EXPECT_TRUE(WmfScanFill({square(0, -far, 50, -1)}, bounds).area().isEmpty());
}
