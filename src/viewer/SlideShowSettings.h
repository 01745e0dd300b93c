// The slide show's values without the dialog: their defaults, how the stored settings read, and
// what "Start" makes of the entered delay.
#pragma once

#include <cstdint>
#include <string>

namespace vistrel {

enum class SlideShow { Off, Once, Loop };

inline constexpr int kSlideShowMinDelay = 1;
inline constexpr int kSlideShowMaxDelay = 15;

struct SlideShowSettings {
    int delay = 5;    // seconds between steps, 1..15
    bool loop = true; // false: stop at the end of the folder
};

// Defaults, replaced by the stored "SlideShowDelayTime" when it is from 1 to 15 and by the stored
// "SlideShowLoop" when it is 0 or more (-1 stands for a missing value).
SlideShowSettings SlideShowSettingsFrom(int32_t storedDelay, int32_t storedLoop);

// The delay that the text of the delay field stands for: an optionally signed decimal number,
// blanks around it allowed, clamped to 1..15 (also past the "1 - 10" that the dialog's label
// names). An empty or unreadable field counts as 0 and so gives 1; a number too long for 32 bits
// counts as beyond the limit on its side.
int DelayFromText(const std::string& text);

// Dialog units to pixels for a dialog font whose base units are `baseX` (the average width of
// its letters) and `baseY` (its height): x * baseX / 4 and y * baseY / 8, rounded to nearest.
struct DialogRect {
    int x = 0, y = 0, width = 0, height = 0;
};
DialogRect DialogUnitsToPixels(const DialogRect& units, int baseX, int baseY);

} // namespace vistrel
