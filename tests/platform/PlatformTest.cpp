#include "Platform.h"
#include "Dib.h"

#include <gtest/gtest.h>

using namespace vistrel;

TEST(Platform, OverridesHoldOverTheInstalledPlatformUntilCleared) {
    EXPECT_EQ(platformVersion(), 0x0A00u);
    overrideScreenSize({1024, 768});
    overridePlatformVersion(0x0601);
    EXPECT_EQ(screenSize().width, 1024);
    EXPECT_EQ(platformVersion(), 0x0601u);
    clearPlatformOverrides();
    EXPECT_EQ(screenSize().width, 1920);
    EXPECT_EQ(platformVersion(), 0x0A00u);
}

TEST(Dib, RowsExpandThroughTheColourTableAndEveryDepth) {
    BitmapInfoHeader info{40, 8, 1, 1, 2, 0, 4, 0, 0, 0, 0};
    const RgbQuad colors[4] = {{0, 0, 0, 0}, {1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
    const uint8_t twoBit[4] = {0b00011011, 0b11000000, 0, 0};
    uint32_t out[8];
    expandDibRow(info, colors, twoBit, 4, 0, 0, 5, out);
    EXPECT_EQ(out[0], 0xFF000000u);
    EXPECT_EQ(out[1], 0xFF030201u);
    EXPECT_EQ(out[3], 0xFF090807u);
    EXPECT_EQ(out[4], 0xFF090807u);

    info.bitCount = 32;
    const uint8_t bgra[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    expandDibRow(info, nullptr, bgra, 8, 0, 1, 1, out);
    EXPECT_EQ(out[0], 0x08070605u);
}
