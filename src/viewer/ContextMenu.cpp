#include "ContextMenu.h"

#include "Utf8.h"

namespace vistrel {

namespace {

const char* const kLockPlaceLabels[9] = {
    "Lock upper left",  "Lock upper center", "Lock upper right",
    "Lock left center", "Lock center",       "Lock right center",
    "Lock lower left",  "Lock lower center", "Lock lower right",
};

// The window text is at most 255 bytes; anything longer is not a caption of ours.
constexpr std::size_t kMaxCaption = 255;

MenuItem item(MenuCommand command, const char* text) {
    MenuItem made;
    made.command = int(command);
    made.text = text;
    return made;
}

MenuItem separator() {
    MenuItem made;
    made.separator = true;
    return made;
}

// Index of the byte after `count` UTF-8 characters from `from`, or text.size() when it runs out.
std::size_t skipCharacters(const std::string& text, std::size_t from, int count) {
    std::size_t i = from;
    for (; count > 0 && i < text.size(); --count) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return i;
}

} // namespace

std::vector<MenuItem> BuildContextMenu(const ContextMenuState& state) {
    MenuItem information = item(MenuCommand::Information, "Information");
    information.grayed = true;
    MenuItem fit = item(MenuCommand::FitToScreen, "Reduce size to fit screen\t*");
    fit.checked = state.fitToScreen;
    MenuItem onTop = item(MenuCommand::KeepOnTop, "Keep window on top");
    onTop.checked = state.topMost;
    MenuItem lock = item(MenuCommand::LockPlace, "Lock place");
    lock.checked = state.lockPlace >= 0;
    MenuItem exit = item(MenuCommand::Exit, "Exit\tEsc");

    if (!state.hasPicture || state.startPage) {
        // Nothing to show, turn or hand to the desktop: only the window's own settings remain.
        fit.grayed = true;
        return {fit, onTop, lock, separator(), exit};
    }

    std::vector<MenuItem> menu;
    // "name [WxH] , camera": the camera text starts two characters after the last comma, so a
    // file name with a comma of its own is split there as well.
    std::string caption = state.caption.substr(0, utf8Prefix(state.caption, kMaxCaption));
    std::string camera;
    bool hasCamera = false;
    if (const std::size_t comma = caption.rfind(','); comma != std::string::npos) {
        const std::size_t start = skipCharacters(caption, comma, 2);
        camera = caption.substr(start);
        hasCamera = !camera.empty();
        caption.resize(comma);
    }
    information.text = caption;
    information.grayed = !state.hasFilePath;
    menu.push_back(information);
    if (hasCamera) {
        MenuItem cameraItem = item(MenuCommand::CameraText, camera.c_str());
        cameraItem.grayed = true;
        menu.push_back(cameraItem);
    }
    menu.push_back(separator());
    menu.push_back(fit);
    menu.push_back(onTop);
    menu.push_back(lock);
    if (state.lockPlace >= 0) {
        menu.push_back(separator());
        MenuItem byUser = item(MenuCommand::LockPlaceByUser, "Lock place by user");
        byUser.checked = state.userLock;
        menu.push_back(byUser);
        if (state.userLock) {
            for (int place = 0; place < 9; ++place) {
                MenuItem placeItem = item(MenuCommand(int(MenuCommand::LockUpperLeft) + place),
                                          kLockPlaceLabels[place]);
                placeItem.radio = true;
                placeItem.checked = place == state.lockPlace;
                menu.push_back(placeItem);
            }
        }
    }
    menu.push_back(separator());
    const bool large = state.checkMarkWidth >= 15;
    MenuItem clockwise = item(MenuCommand::RotateClockwise, "Rotate +90\u00B0 (Clockwise)");
    clockwise.image = large ? MenuImage::RotateClockwiseLarge : MenuImage::RotateClockwiseSmall;
    MenuItem counter =
        item(MenuCommand::RotateCounterClockwise, "Rotate -90\u00B0 (Counter-clockwise)");
    counter.image =
        large ? MenuImage::RotateCounterClockwiseLarge : MenuImage::RotateCounterClockwiseSmall;
    menu.push_back(clockwise);
    menu.push_back(counter);
    menu.push_back(separator());
    if (state.slideShowRunning)
        menu.push_back(item(MenuCommand::SlideShow, "Stop slide show"));
    else if (state.folderCount > 1)
        menu.push_back(item(MenuCommand::SlideShow, "Play slide show"));
    menu.push_back(item(MenuCommand::SetAsWallpaper, "Set as desktop background"));
    MenuItem openWith = item(MenuCommand::OpenWith, "Open with\u2026");
    openWith.grayed = !state.hasFilePath;
    menu.push_back(openWith);
    menu.push_back(item(MenuCommand::Properties, "Properties"));
    menu.push_back(separator());
    menu.push_back(exit);
    return menu;
}

} // namespace vistrel
