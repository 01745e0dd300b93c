#include "SlideShowSettings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace vistrel;

TEST(SlideShowSettings, StoredValuesOutOfRangeKeepTheDefaults) {
    std::map<std::string, int32_t> stored;
    const SettingReader read = [&](const char* name) {
        return stored.count(name) ? stored[name] : -1;
    };
    EXPECT_EQ(ReadSlideShowSettings(read).delay, 5);
    EXPECT_EQ(ReadSlideShowSettings(read).loop, 1);
    stored = {{"SlideShowDelayTime", 16}, {"SlideShowLoop", 0}};
    EXPECT_EQ(ReadSlideShowSettings(read).delay, 5);
    EXPECT_EQ(SlideShowModeFor(ReadSlideShowSettings(read)), 1);
    stored = {{"SlideShowDelayTime", 15}, {"SlideShowLoop", 3}};
    EXPECT_EQ(ReadSlideShowSettings(read).delay, 15);
    EXPECT_EQ(SlideShowModeFor(ReadSlideShowSettings(read)), 2);
}

TEST(SlideShowSettings, TheDelayFieldIsClampedToOneToFifteen) {
    const std::pair<const char*, int> cases[] = {
        {"0", 1},   {"12", 12}, {"99", 15},          {"", 1},   {"-3", 1},
        {" 7 ", 7}, {"1", 1},   {"99999999999", 15}, {"4x", 1}, {"+", 1},
    };
    for (const auto& [text, delay] : cases)
        EXPECT_EQ(DelayFromText(text), delay) << '"' << text << '"';
}
