#include "IconDirectory.h"
#include "GifFrames.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace vistrel;

namespace {

// An icon directory whose entries point at 40-byte bitmap headers carrying each entry's depth.
std::vector<uint8_t> directory(uint16_t type, const std::vector<std::array<int, 3>>& entries) {
    std::vector<uint8_t> data = {0, 0, uint8_t(type), 0, uint8_t(entries.size()), 0};
    const std::size_t images = 6 + 16 * entries.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto [w, h, depth] = entries[i];
        const uint32_t offset = uint32_t(images + 40 * i);
        const uint8_t entry[16] = {
            uint8_t(w),      uint8_t(h),           0, 0, 1, 0, 0, 0, 40, 0, 0, 0,
            uint8_t(offset), uint8_t(offset >> 8), 0, 0};
        data.insert(data.end(), entry, entry + 16);
    }
    for (const auto& e : entries) {
        std::vector<uint8_t> header(40, 0);
        header[0] = 40;
        header[14] = uint8_t(e[2]);
        data.insert(data.end(), header.begin(), header.end());
    }
    return data;
}

} // namespace

TEST(IconDirectory, ChoosesTheImageClosestToThirtyTwoPixels) {
    auto ico = directory(1, {{48, 48, 32}, {16, 16, 32}, {32, 32, 8}, {0, 0, 32}});
    EXPECT_EQ(chooseIconImage(ico.data(), ico.size()), 2);
    // Without a 32x32 image, of 24 and 40 (equally far) the larger wins.
    ico = directory(1, {{24, 24, 32}, {40, 40, 32}});
    EXPECT_EQ(chooseIconImage(ico.data(), ico.size()), 1);
    // Width 0 stands for 256.
    ico = directory(1, {{0, 0, 32}, {255, 255, 32}});
    EXPECT_EQ(chooseIconImage(ico.data(), ico.size()), 1);
}

TEST(IconDirectory, PrefersTheDeepestOfEqualSizesReadFromTheImageItself) {
    auto ico = directory(1, {{32, 32, 4}, {32, 32, 32}, {32, 32, 8}});
    EXPECT_EQ(chooseIconImage(ico.data(), ico.size()), 1);
    // A cursor's entry holds its hot spot where an icon keeps its depth.
    auto cur = directory(2, {{32, 32, 8}, {32, 32, 24}});
    cur[6 + 6] = 31, cur[6 + 16 + 6] = 0;
    EXPECT_EQ(iconKindOf(cur.data(), cur.size()), IconKind::Cursor);
    EXPECT_EQ(chooseIconImage(cur.data(), cur.size()), 1);
}

TEST(IconDirectory, RefusesWhatIsNoIconDirectory) {
    auto ico = directory(1, {{32, 32, 32}});
    EXPECT_EQ(chooseIconImage(ico.data(), 21), -1); // the entry is cut
    ico[2] = 3;
    EXPECT_EQ(iconKindOf(ico.data(), ico.size()), IconKind::None);
    const uint8_t empty[6] = {0, 0, 1, 0, 0, 0};
    EXPECT_EQ(chooseIconImage(empty, sizeof empty), -1);
    // An offset past the end falls back to the entry's own depth instead of reading outside.
    auto bad = directory(1, {{32, 32, 32}});
    bad[6 + 12] = 0xFF, bad[6 + 13] = 0xFF;
    EXPECT_EQ(chooseIconImage(bad.data(), bad.size()), 0);
}

TEST(IconDirectory, ImageSizesComeFromTheImagesOwnHeaders) {
    auto ico = directory(1, {{32, 32, 32}});
    // The bitmap header behind the 32x32 entry claims 40000 x 40000 (both masks).
    const std::size_t header = 6 + 16;
    ico[header + 4] = 0x40, ico[header + 5] = 0x9C;
    ico[header + 8] = 0x40, ico[header + 9] = 0x9C;
    EXPECT_EQ(iconImagePixels(ico.data(), ico.size(), 0), 40000ull * 40000ull);
    EXPECT_EQ(iconImagePixels(ico.data(), ico.size(), 1), 0u);
    EXPECT_EQ(iconImagePixels(ico.data(), 30, 0), 0u); // the image header is cut
}

TEST(GifFrames, AFrameReachingFarBeyondAShortScreenIsCaught) {
    // A fuzz finding: a 1085 x 10 screen whose first frame sits at (34560, 7434) and spans
    // 46186 x 16808, which the reader would have allocated.
    const uint8_t finding[] = {'G',  'I',  'F',  '8',  '9',  'a',  0x3d, 0x04, 0x00,
                               0x0a, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x87, 0x0a, 0x1d,
                               0x6a, 0xb4, 0xa8, 0x41, 0x1b, 0x03, 0x02, 0x00, 0x3b};
    EXPECT_FALSE(gifFirstFrameFits(finding, sizeof finding, uint64_t(1) << 28));
    // A 4 x 2 frame after a global colour table and a graphic control extension fits; files
    // that end before their first image are left to the reader.
    const uint8_t small[] = {'G', 'I',  'F', '8', '9', 'a', 4,    0,    2, 0, 0x80, 0, 0,
                             0,   0,    0,   9,   9,   9,   0x21, 0xF9, 4, 1, 0,    0, 0,
                             0,   0x2c, 0,   0,   0,   0,   4,    0,    2, 0, 0};
    EXPECT_TRUE(gifFirstFrameFits(small, sizeof small, 8));
    EXPECT_FALSE(gifFirstFrameFits(small, sizeof small, 7));
    EXPECT_TRUE(gifFirstFrameFits(small, 20, 1));
}

// A 2 x 2 icon of one 32-bit bitmap entry: colour rows bottom-up, then the 1-bit mask rows.
TEST(IconDirectory, A32BitEntryIsReadStraightAndItsMaskCountsOnlyWithoutAlpha) {
    const auto icon = [](std::array<uint8_t, 4> alphas, uint8_t maskTopRow) {
        auto data = directory(1, {{2, 2, 32}});
        const std::size_t header = 6 + 16;
        data[header + 4] = 2;
        data[header + 8] = 4;       // the height counts the mask's rows
        for (int i = 0; i < 4; ++i) // bottom row first: pixels 2, 3 of the top-down picture
            data.insert(data.end(), {uint8_t(0x10 * i), 0x20, 0x30, alphas[i]});
        const uint8_t mask[8] = {0, 0, 0, 0, maskTopRow, 0, 0, 0};
        data.insert(data.end(), mask, mask + 8);
        return data;
    };
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;
    auto data = icon({0, 0x80, 0xFF, 0x01}, 0xC0);
    ASSERT_TRUE(readIconBitmap32(data.data(), data.size(), 0, w, h, pixels));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    // Straight, not premultiplied; the mask does not count where the colours carry alpha.
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0xFF302020, 0x01302030, 0x00302000, 0x80302010}));

    // No alpha at all: the mask's set bits are transparent, the rest opaque.
    data = icon({0, 0, 0, 0}, 0x80);
    ASSERT_TRUE(readIconBitmap32(data.data(), data.size(), 0, w, h, pixels));
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0x00302020, 0xFF302030, 0xFF302000, 0xFF302010}));
    // A file cut inside the mask keeps those pixels opaque; one cut inside the colours is left
    // to the toolkit's reader.
    ASSERT_TRUE(readIconBitmap32(data.data(), data.size() - 5, 0, w, h, pixels));
    EXPECT_EQ(pixels[0], 0xFF302020u);
    EXPECT_FALSE(readIconBitmap32(data.data(), data.size() - 9, 0, w, h, pixels));
    // Other depths go to the toolkit's reader too.
    data = directory(1, {{2, 2, 8}});
    EXPECT_FALSE(readIconBitmap32(data.data(), data.size(), 0, w, h, pixels));
}
