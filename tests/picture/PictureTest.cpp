#include "Picture.h"
#include "Platform.h"

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

TEST(PictureReuse, SameSizeKeepsTheBlockAndClearZeroesIt) {
    Picture p;
    ASSERT_TRUE(p.create(10, 10, 24, false));
    uint8_t* block = p.lockBits();
    block[5] = 77;
    ASSERT_TRUE(p.create(10, 10, 24, false));
    EXPECT_EQ(p.lockBits(), block);
    EXPECT_EQ(block[5], 77);
    ASSERT_TRUE(p.create(10, 10, 24, true));
    EXPECT_EQ(p.lockBits(), block);
    EXPECT_EQ(block[5], 0);
}

TEST(PictureReuse, ShrinkingKeepsTheBlockOnlyWithinTheSlack) {
    Picture p;
    ASSERT_TRUE(p.create(1000, 1000, 24, false));
    const uint8_t* block = p.lockBits();
    // 800 x 800 leaves 1,080,000 bytes unused: kept, header rewritten, capacity unchanged.
    ASSERT_TRUE(p.create(800, 800, 24, false));
    EXPECT_EQ(p.lockBits(), block);
    EXPECT_EQ(p.width(), 800);
    EXPECT_EQ(p.imageSize(), 2400u * 800u);
    EXPECT_EQ(p.rowSize(), 2400u);
    EXPECT_EQ(p.capacity(), 3000000u);
    // 10 x 10 would leave 2,999,680 bytes unused: a new block.
    ASSERT_TRUE(p.create(10, 10, 24, false));
    EXPECT_EQ(p.capacity(), 320u);
    // Another depth never reuses.
    ASSERT_TRUE(p.create(10, 10, 32, false));
    EXPECT_EQ(p.capacity(), 400u);
}

TEST(PictureReuse, SectionStorageIsRebuiltWheneverTheSizeChanges) {
    Picture p(PictureStorage::Section);
    ASSERT_TRUE(p.create(100, 100, 24, false));
    ASSERT_TRUE(p.create(99, 100, 24, false));
    EXPECT_EQ(p.capacity(), p.imageSize());
}

TEST(PictureRotation, QuarterTurnsMovePixelsAndSwapSides) {
    Picture p;
    ASSERT_TRUE(p.create(3, 2, 24, true));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            setPixel(p, x, y, uint8_t(x), uint8_t(y), 9);
    p.rotateQuarter(90);
    ASSERT_EQ(p.width(), 2);
    ASSERT_EQ(p.height(), 3);
    // Clockwise: the top-left pixel is the source's bottom-left one.
    EXPECT_EQ(pixelAt(p, 0, 0) & 0xFFFFFF, 0x090100u);
    EXPECT_EQ(pixelAt(p, 1, 0) & 0xFFFFFF, 0x090000u); // source top-left
    EXPECT_EQ(pixelAt(p, 0, 2) & 0xFFFFFF, 0x090102u); // source bottom-right
    p.rotateQuarter(-90);
    ASSERT_EQ(p.width(), 3);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(pixelAt(p, x, y) & 0xFFFFFF, 0x090000u | uint32_t(y) << 8 | uint32_t(x));
    p.rotateQuarter(45);
    EXPECT_EQ(p.width(), 3);
}

TEST(PictureRotation, AlphaTravelsAndLowDepthsBecome24Bits) {
    Picture p;
    ASSERT_TRUE(p.create(2, 2, 32, true));
    uint8_t* bits = p.lockBits();
    bits[3] = 0x11; // memory row 0 = bottom row, left pixel
    p.rotateQuarter(-90);
    // Counter-clockwise, the bottom-left pixel goes to the bottom-right.
    EXPECT_EQ(pixelAt(p, 1, 1) >> 24, 0x11u);

    Picture palette;
    ASSERT_TRUE(palette.create(4, 2, 1, true));
    palette.colorTable()[1] = {10, 20, 30, 0};
    palette.lockBits()[0] = 0x80; // bottom row, first pixel uses entry 1
    palette.rotateQuarter(90);
    EXPECT_EQ(palette.bitsPerPixel(), 24);
    EXPECT_EQ(pixelAt(palette, 0, 0) & 0xFFFFFF, 0x1E140Au);
}

TEST(PictureConversion, ExpandsPaletteAnd555Pixels) {
    Picture p;
    ASSERT_TRUE(p.create(2, 1, 16, true));
    uint8_t* bits = p.lockBits();
    const uint16_t red = 31 << 10, someGreen = 16 << 5;
    std::memcpy(bits, &red, 2);
    std::memcpy(bits + 2, &someGreen, 2);
    ASSERT_TRUE(p.convertTo24());
    EXPECT_EQ(p.bitsPerPixel(), 24);
    EXPECT_EQ(pixelAt(p, 0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(pixelAt(p, 1, 0) & 0xFFFFFF, 0x008400u); // 16 -> 132, within a level of 16 * 255 / 31
}

TEST(PictureCopy, CopiesPixelsAndColorTable) {
    Picture source, target;
    ASSERT_TRUE(source.create(5, 3, 8, true));
    source.colorTable()[7] = {1, 2, 3, 0};
    source.lockBits()[4] = 7;
    ASSERT_TRUE(target.copyFrom(source));
    EXPECT_EQ(target.lockBits()[4], 7);
    EXPECT_EQ(target.colorTable()[7].green, 2);
    const Palette* palette = target.palette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->entries.size(), 256u);
    EXPECT_EQ(palette->entries[7].red, 3);

    Picture deep;
    ASSERT_TRUE(deep.create(5, 3, 24, false));
    EXPECT_EQ(deep.palette(), nullptr);
    deep.swap(target);
    EXPECT_EQ(deep.bitsPerPixel(), 8);
    EXPECT_EQ(target.bitsPerPixel(), 24);
}

TEST(PictureAdoption, ThirtyTwoBitBitmapBecomes24BitsTopRowFirst) {
    const uint8_t bits[] = {1, 2, 3, 255, 4,  5,  6,  255,  // top row
                            7, 8, 9, 255, 10, 11, 12, 255}; // bottom row
    Picture p;
    ASSERT_TRUE(p.adoptBitmap({2, 2, 8, 32, bits}));
    EXPECT_EQ(p.bitsPerPixel(), 24);
    EXPECT_EQ(pixelAt(p, 0, 0) & 0xFFFFFF, 0x030201u);
    EXPECT_EQ(pixelAt(p, 1, 1) & 0xFFFFFF, 0x0C0B0Au);
    EXPECT_FALSE(p.adoptBitmap({0, 2, 8, 32, bits}));
    EXPECT_FALSE(p.adoptBitmap({3, 2, 8, 32, bits})); // rows too short for three pixels
}

namespace {

struct RecordingCanvas : Canvas {
    int calls = 0, x = 0, y = 0, width = 0, height = 0, sourceX = 0, sourceYFromBottom = 0;
    bool drawPicture(int x_, int y_, int w, int h, int sx, int sy, const BitmapInfoHeader&,
                     const RgbQuad*, const uint8_t*) override {
        ++calls, x = x_, y = y_, width = w, height = h, sourceX = sx, sourceYFromBottom = sy;
        return true;
    }
};

} // namespace

TEST(PictureDrawing, NegativeSizesDrawTheWholePictureAndRowsCountFromTheBottom) {
    Picture p;
    RecordingCanvas canvas;
    EXPECT_FALSE(p.draw(canvas, 0, 0, -1, -1, 0, 0));
    EXPECT_EQ(canvas.calls, 0);
    ASSERT_TRUE(p.create(30, 20, 24, false));
    ASSERT_TRUE(p.draw(canvas, 5, 6, -1, -1, 0, 0));
    EXPECT_EQ(canvas.width, 30);
    EXPECT_EQ(canvas.height, 20);
    EXPECT_EQ(canvas.sourceYFromBottom, 0);
    // The top 5 rows after skipping 3: in bottom-up rows they start at 20 - 5 - 3.
    ASSERT_TRUE(p.draw(canvas, 0, 0, 10, 5, 2, 3));
    EXPECT_EQ(canvas.sourceX, 2);
    EXPECT_EQ(canvas.sourceYFromBottom, 12);
}

namespace {

// A 32-bit picture whose every alpha byte is `alpha`.
void fillAlpha(Picture& p, int w, int h, uint8_t alpha) {
    ASSERT_TRUE(p.create(w, h, 32, true));
    uint8_t* bits = p.lockBits();
    for (uint32_t i = 3; i < p.imageSize(); i += 4)
        bits[i] = alpha;
}

void setAlpha(Picture& p, int row, int column, uint8_t alpha) {
    p.lockBits()[std::size_t(row) * p.rowSize() + std::size_t(column) * 4 + 3] = alpha;
}

} // namespace

TEST(AlphaTest, UniformlyOpaqueOrClearPicturesNeedNoComposition) {
    Picture p;
    fillAlpha(p, 40, 40, 255);
    EXPECT_FALSE(NeedsAlphaComposition(p));
    fillAlpha(p, 40, 40, 0);
    EXPECT_FALSE(NeedsAlphaComposition(p));
    fillAlpha(p, 40, 40, 128); // uniformly translucent
    EXPECT_TRUE(NeedsAlphaComposition(p));
}

TEST(AlphaTest, SampledPointsAndTheMiddleRowRevealTransparency) {
    Picture p;
    fillAlpha(p, 40, 40, 255);
    setAlpha(p, 39, 0, 0); // a corner
    EXPECT_TRUE(NeedsAlphaComposition(p));
    fillAlpha(p, 40, 40, 255);
    setAlpha(p, 10, 20, 0); // (h/4, w/2)
    EXPECT_TRUE(NeedsAlphaComposition(p));
    fillAlpha(p, 40, 40, 255);
    setAlpha(p, 20, 3, 0); // only on the middle row
    EXPECT_TRUE(NeedsAlphaComposition(p));
    // Wide pictures skip the row scan, and so do pictures of 24 rows or fewer.
    fillAlpha(p, 1024, 40, 255);
    setAlpha(p, 20, 3, 0);
    EXPECT_FALSE(NeedsAlphaComposition(p));
    fillAlpha(p, 40, 24, 255);
    setAlpha(p, 12, 3, 0);
    EXPECT_FALSE(NeedsAlphaComposition(p));
}

TEST(AlphaTest, TinyPicturesOtherDepthsAndOldPlatformsNeverNeedIt) {
    Picture p;
    fillAlpha(p, 2, 40, 128);
    EXPECT_FALSE(NeedsAlphaComposition(p));
    ASSERT_TRUE(p.create(40, 40, 24, true));
    EXPECT_FALSE(NeedsAlphaComposition(p));
    fillAlpha(p, 40, 40, 128);
    overridePlatformVersion(0x0400);
    EXPECT_FALSE(NeedsAlphaComposition(p));
    overridePlatformVersion(0x0500);
    EXPECT_TRUE(NeedsAlphaComposition(p));
    clearPlatformOverrides();
}
