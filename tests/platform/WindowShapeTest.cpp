// The window's shape cut from a frame's alpha: what X11 and Qt are given must be banded, exact and
// small for the common cases (no cut at all, rounded corners).
#include "WindowShape.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel {

namespace {

// A frame drawn from text, one string a row: '#' a visible pixel, '.' one of alpha 0. Rows are
// padded with transparent pixels past the width, which must not count.
struct Frame {
    int width = 0, height = 0;
    uint32_t rowSize = 0;
    std::vector<uint8_t> bytes;

    explicit Frame(const std::vector<std::string>& rows)
        : width(int(rows[0].size())), height(int(rows.size())), rowSize(uint32_t(width + 3) * 4),
          bytes(std::size_t(rowSize) * rows.size(), 0) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (rows[y][x] == '#') bytes[y * rowSize + x * 4 + 3] = 1; // any alpha but 0
    }
    std::vector<Rect> shape() const { return shapeFromAlpha(bytes.data(), width, height, rowSize); }
};

TEST(WindowShape, OpaqueAndWhollyTransparentFramesKeepTheWholeWindow) {
    EXPECT_TRUE(Frame({"####", "####"}).shape().empty());
    EXPECT_TRUE(Frame({"....", "...."}).shape().empty());
    EXPECT_TRUE(shapeFromAlpha(nullptr, 4, 4, 16).empty());
}

TEST(WindowShape, RowsOfTheSameRunsBecomeOneBandInBandedOrder) {
    // Rounded corners, a hole in the middle and a wholly transparent row.
    const Frame frame({
        "..######..",
        ".########.",
        "##########",
        "##########",
        "###....###",
        "..........",
        "##########",
        "..######..",
    });
    const std::vector<Rect> expected{
        {2, 0, 8, 1},  {1, 1, 9, 2},  {0, 2, 10, 4}, {0, 4, 3, 5},
        {7, 4, 10, 5}, {0, 6, 10, 7}, {2, 7, 8, 8},
    };
    EXPECT_EQ(frame.shape(), expected);
}

} // namespace
} // namespace vistrel
