#include "SlideShowSettings.h"

#include <cctype>

namespace vistrel {

namespace {

// a * b / c rounded to nearest, halves away from zero.
int mulDiv(int a, int b, int c) {
    const int64_t product = int64_t(a) * b;
    const int64_t half = c / 2;
    return int(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

SlideShowSettings SlideShowSettingsFrom(int32_t storedDelay, int32_t storedLoop) {
    SlideShowSettings settings;
    if (storedDelay >= kSlideShowMinDelay && storedDelay <= kSlideShowMaxDelay)
        settings.delay = storedDelay;
    if (storedLoop >= 0) settings.loop = storedLoop != 0;
    return settings;
}

int DelayFromText(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto blank = [&](std::size_t k) { return std::isspace(static_cast<unsigned char>(text[k])); };
    while (i < n && blank(i))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t firstDigit = i;
    int64_t value = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value <= kSlideShowMaxDelay) value = value * 10 + (text[i] - '0');
    const bool digits = i > firstDigit;
    while (i < n && blank(i))
        ++i;
    if (!digits || i != n) value = 0; // unreadable: read as 0
    if (negative) value = -value;
    if (value < kSlideShowMinDelay) return kSlideShowMinDelay;
    if (value > kSlideShowMaxDelay) return kSlideShowMaxDelay;
    return int(value);
}

DialogRect DialogUnitsToPixels(const DialogRect& units, int baseX, int baseY) {
    return {mulDiv(units.x, baseX, 4), mulDiv(units.y, baseY, 8), mulDiv(units.width, baseX, 4),
            mulDiv(units.height, baseY, 8)};
}

} // namespace vistrel
