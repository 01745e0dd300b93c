#include "SlideShowSettings.h"

#include <gtest/gtest.h>

#include <string>

using namespace vistrel;

TEST(SlideShowSettings, StoredValuesOutOfRangeKeepTheDefaults) {
    EXPECT_EQ(SlideShowSettingsFrom(-1, -1).delay, 5); // nothing stored
    EXPECT_TRUE(SlideShowSettingsFrom(-1, -1).loop);
    EXPECT_EQ(SlideShowSettingsFrom(16, 0).delay, 5);
    EXPECT_FALSE(SlideShowSettingsFrom(16, 0).loop);
    EXPECT_EQ(SlideShowSettingsFrom(15, 3).delay, 15);
    EXPECT_TRUE(SlideShowSettingsFrom(15, 3).loop);
}

TEST(SlideShowSettings, TheDelayFieldIsClampedToOneToFifteen) {
    const std::pair<const char*, int> cases[] = {
        {"0", 1},   {"12", 12}, {"99", 15},          {"", 1},   {"-3", 1},
        {" 7 ", 7}, {"1", 1},   {"99999999999", 15}, {"4x", 1}, {"+", 1},
    };
    for (const auto& [text, delay] : cases)
        EXPECT_EQ(DelayFromText(text), delay) << '"' << text << '"';
}
