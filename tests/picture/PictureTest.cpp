#include "Picture.h"
#include "LargeBuffer.h"
#include "Platform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vistrel;
using namespace vistrel::test;

TEST(PictureLayout, RowsArePaddedAndEmptyOversizedAndOddDepthsRefused) {
    Picture p;
    ASSERT_TRUE(p.create(2, 1, 24, false));
    EXPECT_EQ(p.rowSize(), 8u);
    EXPECT_EQ(p.imageSize(), 8u);
    ASSERT_TRUE(p.create(3, 5, 1, false));
    EXPECT_EQ(p.rowSize(), 4u);
    EXPECT_EQ(p.headerSize(), 40u + 4 * 2);
    EXPECT_NE(p.colorTable(), nullptr);

    Picture refused;
    EXPECT_FALSE(refused.create(0, 10, 24, false));
    EXPECT_FALSE(refused.create(10, 0, 24, false));
    EXPECT_FALSE(refused.create(1 << 15, (1 << 13) + 1, 8, false)); // one row past 2^28 pixels
    EXPECT_FALSE(refused.create(10, 10, 12, false));
    EXPECT_TRUE(refused.empty());
}

TEST(PictureReuse, TheBlockIsKeptForTheSameDepthWithinTheSlack) {
    Picture p;
    ASSERT_TRUE(p.create(1000, 1000, 24, false));
    uint8_t* block = p.pixels();
    block[5] = 77;
    ASSERT_TRUE(p.create(1000, 1000, 24, false));
    EXPECT_EQ(p.pixels(), block);
    EXPECT_EQ(block[5], 77);
    // 800 x 800 leaves 1,080,000 bytes unused: kept and cleared, header rewritten.
    ASSERT_TRUE(p.create(800, 800, 24, true));
    EXPECT_EQ(p.pixels(), block);
    EXPECT_EQ(block[5], 0);
    EXPECT_EQ(p.width(), 800);
    EXPECT_EQ(p.imageSize(), 2400u * 800u);
    EXPECT_EQ(p.capacity(), 3000000u);
    // 10 x 10 would leave 2,999,680 bytes unused: a new block.
    ASSERT_TRUE(p.create(10, 10, 24, false));
    EXPECT_EQ(p.capacity(), 320u);
    ASSERT_TRUE(p.create(10, 10, 32, false)); // another depth never reuses
    EXPECT_EQ(p.capacity(), 400u);
}

TEST(PictureRotation, QuarterTurnsMovePixelsAlphaAndPaletteColours) {
    Picture p; // 3 x 2, pixel (x, y) holds blue x, green y, red 9
    ASSERT_TRUE(p.create(3, 2, 24, true));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* px = p.pixels() + y * p.rowSize() + x * 3;
            px[0] = uint8_t(x), px[1] = uint8_t(y), px[2] = 9;
        }
    const auto before = argbPixels(p);
    p.rotateQuarter(90);
    ASSERT_EQ(p.width(), 2);
    ASSERT_EQ(p.height(), 3);
    // Clockwise: the top row is the source's left column read upwards.
    EXPECT_EQ(argbPixels(p), (std::vector<uint32_t>{before[3], before[0], before[4], before[1],
                                                    before[5], before[2]}));
    p.rotateQuarter(-90);
    EXPECT_EQ(argbPixels(p), before);
    p.rotateQuarter(45);
    EXPECT_EQ(p.width(), 3);

    Picture alpha;
    ASSERT_TRUE(alpha.create(2, 2, 32, true));
    alpha.pixels()[alpha.rowSize() + 3] = 0x11; // bottom row, left pixel
    alpha.rotateQuarter(-90);
    EXPECT_EQ(argbPixels(alpha)[3] >> 24, 0x11u); // counter-clockwise: to the bottom-right

    Picture palette; // low depths become 24 bits
    ASSERT_TRUE(palette.create(4, 2, 1, true));
    palette.colorTable()[1] = {10, 20, 30, 0};
    palette.pixels()[4] = 0x80; // bottom row, first pixel uses entry 1
    palette.rotateQuarter(90);
    EXPECT_EQ(palette.bitsPerPixel(), 24);
    EXPECT_EQ(argbPixels(palette)[0] & 0xFFFFFF, 0x1E140Au);
}

TEST(PictureConversion, ExpandsPaletteAnd555Pixels) {
    Picture p;
    ASSERT_TRUE(p.create(2, 1, 16, true));
    const uint16_t pixels[2] = {31 << 10, 16 << 5}; // full red, some green
    std::memcpy(p.pixels(), pixels, 4);
    ASSERT_TRUE(p.convertTo24());
    EXPECT_EQ(p.bitsPerPixel(), 24);
    EXPECT_EQ(argbPixels(p), (std::vector<uint32_t>{0xFFFF0000u, 0xFF008400u})); // 16 -> 132
}

TEST(PictureAdoption, ThirtyTwoBitBitmapBecomes24BitsTopRowFirst) {
    const uint8_t bits[] = {1, 2, 3, 255, 4,  5,  6,  255,  // top row
                            7, 8, 9, 255, 10, 11, 12, 255}; // bottom row
    Picture p;
    ASSERT_TRUE(p.adoptBitmap({2, 2, 8, 32, bits}));
    EXPECT_EQ(p.bitsPerPixel(), 24);
    EXPECT_EQ(argbPixels(p),
              (std::vector<uint32_t>{0xFF030201u, 0xFF060504u, 0xFF090807u, 0xFF0C0B0Au}));
    EXPECT_FALSE(p.adoptBitmap({0, 2, 8, 32, bits}));
    EXPECT_FALSE(p.adoptBitmap({3, 2, 8, 32, bits})); // rows too short for three pixels

    // A block taken over as it is; one too small for the rows stays the caller's.
    auto* block = static_cast<uint8_t*>(allocateLarge(sizeof bits + kPixelSpareBytes));
    std::memcpy(block, bits, sizeof bits);
    EXPECT_FALSE(p.adoptPixels(block, sizeof bits - 1, 2, 2, 32));
    ASSERT_TRUE(p.adoptPixels(block, sizeof bits, 2, 2, 32));
    EXPECT_EQ(p.pixels(), block);
    EXPECT_EQ(argbPixels(p)[3], 0xFF0C0B0Au);
}

TEST(AlphaTest, SampledPointsAndTheMiddleRowRevealRealTransparency) {
    struct Case {
        int w, h, depth, alpha;
        int row, column; // one pixel of alpha 0 at memory (row, column); -1: none
        bool needs;
    };
    const Case cases[] = {
        {40, 40, 32, 255, -1, 0, false},   // uniformly opaque
        {40, 40, 32, 0, -1, 0, false},     // uniformly clear counts as opaque
        {40, 40, 32, 128, -1, 0, true},    // uniformly translucent
        {40, 40, 32, 255, 39, 0, true},    // a corner
        {40, 40, 32, 255, 10, 20, true},   // (h/4, w/2)
        {40, 40, 32, 255, 20, 3, true},    // only on the middle row
        {1024, 40, 32, 255, 20, 3, false}, // wide pictures skip the row scan
        {40, 24, 32, 255, 12, 3, false},   // and so do those of 24 rows or fewer
        {2, 40, 32, 128, -1, 0, false},    // tiny
        {40, 40, 24, 128, -1, 0, false},   // not 32 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " alpha " +
                     std::to_string(c.alpha) + " row " + std::to_string(c.row));
        Picture p;
        ASSERT_TRUE(p.create(c.w, c.h, c.depth, true));
        uint8_t* bits = p.pixels();
        if (c.depth == 32) {
            for (uint32_t i = 3; i < p.imageSize(); i += 4)
                bits[i] = uint8_t(c.alpha);
            if (c.row >= 0) bits[std::size_t(c.row) * p.rowSize() + c.column * 4 + 3] = 0;
        }
        EXPECT_EQ(hasRealTransparency(p), c.needs);
    }
}
