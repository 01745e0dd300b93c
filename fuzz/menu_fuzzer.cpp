// The context menu's reading of the window text (cut at its last comma, camera text two
// characters on, UTF-8 kept whole) and the slide show delay field, on arbitrary bytes.
#include "ContextMenu.h"
#include "SlideShowSettings.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    vistrel::ContextMenuState state;
    state.hasPicture = true;
    state.startPage = data[0] & 1;
    state.hasFilePath = data[0] & 2;
    state.userLock = data[0] & 4;
    state.slideShowRunning = data[0] & 8;
    state.lockPlace = int(data[1] % 10) - 1;
    state.folderCount = data[1] >> 4;
    state.caption.assign(reinterpret_cast<const char*>(data + 2), size - 2);
    for (const vistrel::MenuItem& item : vistrel::BuildContextMenu(state)) {
        // The caption item never holds more than the window text can.
        if (item.command == int(vistrel::MenuCommand::Information) && item.text.size() > 255)
            std::abort();
    }
    const int delay = vistrel::DelayFromText(state.caption);
    if (delay < 1 || delay > 15) std::abort();
    return 0;
}
