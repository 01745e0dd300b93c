// The context menu as data: built afresh from a snapshot of the window's state at every right
// click, then shown by the toolkit. Nothing in it is cached between clicks.
#pragma once

#include "MenuItem.h"

#include <string>
#include <vector>

namespace vistrel {

// Command ids of the menu items; a chosen item comes back to the window as its id.
enum MenuCommand : int {
    CmdShowHelp = 105, // the start page's help button
    CmdHomePage = 106, // the start page's link button
    CmdLockPlaceByUser = 150,
    CmdLockPlaceFirst = 151, // 151..159: the nine lock places in their index order
    CmdLockPlaceLast = 159,
    CmdSlideShow = 1004,
    CmdKeepOnTop = 32771,
    CmdSetAsWallpaper = 32772,
    CmdExit = 32773,
    CmdFitToScreen = 32774,
    CmdInformation = 32775,
    CmdCameraText = 32776, // grayed; never chosen
    CmdRotateCounterClockwise = 32777,
    CmdRotateClockwise = 32778,
    CmdLockPlace = 32779,
};

// Images of the rotate items: large ones for menus whose check mark is 15 pixels wide or more,
// small ones below that.
enum MenuImage : int {
    MenuImageNone = 0,
    MenuImageRotateLeftLarge = 132,
    MenuImageRotateRightLarge = 133,
    MenuImageRotateRightSmall = 137,
    MenuImageRotateLeftSmall = 138,
};

// What the menu depends on, read from the window at the moment of the click.
struct ContextMenuState {
    bool hasPicture = false; // a current record with pixels
    bool startPage = true;
    bool topMost = false;
    bool fitToScreen = false;
    int lockPlace = -1; // -1 not locked, else 0..8
    bool userLock = false;
    std::string caption;      // the window text
    bool hasFilePath = false; // false for a pasted picture
    int slideShowMode = 0;    // 0 off, 1 once, 2 loop
    int folderCount = 0;      // names in the folder list
    int checkMarkWidth = 16;  // pixels the menu gives an item's check mark or image
};

// The items of the context menu, top to bottom.
std::vector<MenuItem> BuildContextMenu(const ContextMenuState& state);

// The lock place (0..8) that a command id chooses, or -1 for any other id.
inline int LockPlaceOfCommand(int id) {
    return id >= CmdLockPlaceFirst && id <= CmdLockPlaceLast ? id - CmdLockPlaceFirst : -1;
}

} // namespace vistrel
