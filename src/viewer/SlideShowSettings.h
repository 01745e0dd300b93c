// The slide show dialog's values without the dialog: their defaults, how the stored settings are
// read, and what "Start" makes of the entered delay. The settings store is passed in as two
// functions so that the dialog and its tests need nothing else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vistrel {

// The stored value of a setting, or -1 when it is missing or unreadable.
using SettingReader = std::function<int32_t(const char* name)>;
// Stores a setting; the result (0 on success) is ignored by every caller here.
using SettingWriter = std::function<int32_t(const char* name, int32_t value)>;

inline constexpr int kSlideShowMinDelay = 1;
inline constexpr int kSlideShowMaxDelay = 15;

struct SlideShowSettings {
    int delay = 5; // seconds between steps, 1..15
    int loop = 1;  // 0: stop at the end of the folder; anything else: start over
};

// Defaults, replaced by "SlideShowDelayTime" when it is from 1 to 15 and by "SlideShowLoop" when
// it is 0 or more.
SlideShowSettings ReadSlideShowSettings(const SettingReader& read);

// The delay that the text of the delay field stands for: an optionally signed decimal number,
// blanks around it allowed, clamped to 1..15 (also past the "1 - 10" that the dialog's label
// names). An empty or unreadable field counts as 0 and so gives 1; a number too long for 32 bits
// counts as beyond the limit on its side.
int DelayFromText(const std::string& text);

// What "Start" does with the fields: clamps the delay, stores both values and returns them.
SlideShowSettings AcceptSlideShowSettings(const std::string& delayText, bool loopChecked,
                                          const SettingWriter& write);

// The slide show mode the accepted values start: 2 loops, 1 stops at the end of the folder.
inline int SlideShowModeFor(const SlideShowSettings& settings) {
    return settings.loop ? 2 : 1;
}

// Dialog units to pixels for a dialog font whose base units are `baseX` (the average width of
// its letters) and `baseY` (its height): x * baseX / 4 and y * baseY / 8, rounded to nearest.
struct DialogRect {
    int x = 0, y = 0, width = 0, height = 0;
};
DialogRect DialogUnitsToPixels(const DialogRect& units, int baseX, int baseY);

} // namespace vistrel
