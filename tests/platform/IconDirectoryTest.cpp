#include "IconDirectory.h"

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
