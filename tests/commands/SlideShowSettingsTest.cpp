#include "SlideShowSettings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace vistrel;

namespace {

struct Store {
    std::map<std::string, int32_t> values;
    SettingReader reader() {
        return [this](const char* name) {
            const auto it = values.find(name);
            return it == values.end() ? -1 : it->second;
        };
    }
    SettingWriter writer() {
        return [this](const char* name, int32_t value) {
            values[name] = value;
            return 0;
        };
    }
};

} // namespace

TEST(SlideShowSettings, StoredValuesOutOfRangeKeepTheDefaults) {
    Store store;
    SlideShowSettings s = ReadSlideShowSettings(store.reader());
    EXPECT_EQ(s.delay, 5);
    EXPECT_EQ(s.loop, 1);

    store.values = {{"SlideShowDelayTime", 16}, {"SlideShowLoop", 0}};
    s = ReadSlideShowSettings(store.reader());
    EXPECT_EQ(s.delay, 5);
    EXPECT_EQ(s.loop, 0);

    store.values = {{"SlideShowDelayTime", 0}, {"SlideShowLoop", -1}};
    EXPECT_EQ(ReadSlideShowSettings(store.reader()).delay, 5);
    store.values = {{"SlideShowDelayTime", 15}, {"SlideShowLoop", 3}};
    s = ReadSlideShowSettings(store.reader());
    EXPECT_EQ(s.delay, 15);
    EXPECT_EQ(s.loop, 3);
    EXPECT_EQ(SlideShowModeFor(s), 2);
}

TEST(SlideShowSettings, StartClampsTheDelay) {
    const std::pair<const char*, int> cases[] = {
        {"0", 1},   {"12", 12}, {"99", 15},          {"", 1},   {"-3", 1},
        {" 7 ", 7}, {"1", 1},   {"99999999999", 15}, {"4x", 1}, {"+", 1},
    };
    for (const auto& [text, delay] : cases)
        EXPECT_EQ(DelayFromText(text), delay) << '"' << text << '"';
}

TEST(SlideShowSettings, StartStoresBothValues) {
    Store store;
    const SlideShowSettings s = AcceptSlideShowSettings("12", false, store.writer());
    EXPECT_EQ(s.delay, 12);
    EXPECT_EQ(s.loop, 0);
    EXPECT_EQ(SlideShowModeFor(s), 1);
    EXPECT_EQ(store.values,
              (std::map<std::string, int32_t>{{"SlideShowDelayTime", 12}, {"SlideShowLoop", 0}}));
}

TEST(SlideShowSettings, DialogUnitsRoundToNearest) {
    // Base units 6 x 13: x * 6 / 4 and y * 13 / 8.
    const DialogRect r = DialogUnitsToPixels({49, 7, 88, 8}, 6, 13);
    EXPECT_EQ(r.x, 74); // 73.5 rounds up
    EXPECT_EQ(r.y, 11); // 11.375
    EXPECT_EQ(r.width, 132);
    EXPECT_EQ(r.height, 13);
    const DialogRect d = DialogUnitsToPixels({0, 0, 187, 84}, 7, 16);
    EXPECT_EQ(d.width, 327); // 327.25
    EXPECT_EQ(d.height, 168);
}
