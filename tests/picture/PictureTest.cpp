#include "Picture.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vistrel;

namespace {

// Sets the 24-bit pixel at display position (x, y), counted from the top-left.
void setPixel(Picture& p, int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    uint8_t* px = p.lockBits() + std::size_t(p.height() - 1 - y) * p.rowSize() + std::size_t(x) * 3;
    px[0] = b, px[1] = g, px[2] = r;
    p.unlockBits();
}

uint32_t pixelAt(Picture& p, int x, int y) {
    const int bytes = p.bitsPerPixel() / 8;
    const uint8_t* px =
        p.lockBits() + std::size_t(p.height() - 1 - y) * p.rowSize() + std::size_t(x) * bytes;
    uint32_t v = 0;
    std::memcpy(&v, px, std::size_t(bytes));
    p.unlockBits();
    return v;
}

} // namespace

TEST(PictureLayout, RowsArePaddedToFourBytes) {
    Picture p;
    ASSERT_TRUE(p.create(2, 1, 24, false));
    EXPECT_EQ(p.rowSize(), 8u);
    EXPECT_EQ(p.imageSize(), 8u);
    ASSERT_TRUE(p.create(3, 5, 1, false));
    EXPECT_EQ(p.rowSize(), 4u);
    EXPECT_EQ(p.headerSize(), 40u + 4 * 2);
    EXPECT_NE(p.colorTable(), nullptr);
}

TEST(PictureLayout, RefusesEmptyOversizedAndOddDepths) {
    Picture p;
    EXPECT_FALSE(p.create(0, 10, 24, false));
    EXPECT_FALSE(p.create(10, 0, 24, false));
    EXPECT_FALSE(p.create(1 << 15, (1 << 13) + 1, 8, false)); // one row past 2^28 pixels
    EXPECT_FALSE(p.create(10, 10, 12, false));
    EXPECT_TRUE(p.empty());
}
