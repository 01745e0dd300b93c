// The context menu as data: built afresh from a snapshot of the window's state at every right
// click, then shown by the toolkit. Nothing in it is cached between clicks.
#pragma once

#include "MenuItem.h"

#include <string>
#include <vector>

namespace vistrel {

// What a chosen menu item (or a start page button) asks of the window.
enum class MenuCommand {
    Information, // the caption: show the file in its folder
    CameraText,  // grayed; never chosen
    FitToScreen,
    KeepOnTop,
    LockPlace,
    LockPlaceByUser,
    // The nine lock places in their index order (column + 3 * row).
    LockUpperLeft,
    LockUpperCenter,
    LockUpperRight,
    LockLeftCenter,
    LockCenter,
    LockRightCenter,
    LockLowerLeft,
    LockLowerCenter,
    LockLowerRight,
    RotateClockwise,
    RotateCounterClockwise,
    SlideShow, // plays, or stops a running show
    SetAsWallpaper,
    Exit,
    ShowHelp,     // the start page's help button
    OpenHomePage, // the start page's link button
    OpenWith,     // the desktop asks which program opens the file
    Properties,   // the picture's and its file's properties
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
    bool slideShowRunning = false;
    int folderCount = 0;     // names in the folder list
    int checkMarkWidth = 16; // pixels the menu gives an item's check mark or image
};

// The items of the context menu, top to bottom; each item's command is a MenuCommand.
std::vector<MenuItem> BuildContextMenu(const ContextMenuState& state);

// The lock place (0..8) a command chooses, or -1 for any other command.
inline int LockPlaceOfCommand(MenuCommand command) {
    const int place = int(command) - int(MenuCommand::LockUpperLeft);
    return place >= 0 && place <= 8 ? place : -1;
}

} // namespace vistrel
