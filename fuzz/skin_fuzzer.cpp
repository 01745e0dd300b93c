// The start page skin's frame copy for any background and button strip a skin folder may hold:
// their sizes and depths, the button places made from them, and frames out of range.
#include "Skin.h"

using namespace vistrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 12) return 0;
    auto number = [&](std::size_t i) { return int(data[i]) | int(data[i + 1]) << 8; };
    constexpr int kDepths[] = {1, 4, 8, 16, 24, 32};
    Picture page, strip;
    if (!page.create(1 + number(0) % 700, 1 + number(2) % 700, data[8] & 1 ? 32 : 24, true) ||
        !strip.create(1 + number(4) % 1200, 1 + number(6) % 400, kDepths[data[9] % 6], true))
        return 0;
    const Size background{page.width(), page.height()};
    const int frame = int(data[10] % 6) - 1;
    for (StartButton button : kStartButtons)
        copyFrame(page, skinButtonRect(button, background, frameSize(strip)).topLeft(), strip,
                  frame);
    // And anywhere near the page, as a plain page's hit areas would put it.
    copyFrame(page, {int(int8_t(data[11])) * 6, int(int8_t(data[size - 1])) * 4}, strip, frame);
    return 0;
}
