// The context menu and the commands behind it, and the paste of the clipboard's picture.
#include "ContextMenu.h"
#include "Desktop.h"
#include "DesktopCommands.h"
#include "Settings.h"
#include "ViewerWindow.h"

namespace vistrel {

void ViewerWindow::ShowContextMenu() {
    if (!WindowExists() || modalUp_) return;
    // Built afresh from the state at this moment; nothing of an earlier menu is kept.
    CachedPicture* current = CurrentWithPixels();
    ContextMenuState state;
    state.hasPicture = current != nullptr;
    state.startPage = startPage;
    state.topMost = (flags & TopMost) != 0;
    state.fitToScreen = (flags & FitToScreen) != 0;
    state.lockPlace = lockPlace;
    state.userLock = userLock;
    state.caption = caption;
    state.hasFilePath = current && !current->path.empty();
    state.slideShowMode = slideShowMode;
    state.folderCount = source_->folderCount();
    state.checkMarkWidth = host_->menuCheckMarkWidth();
    // The last right press, in client coordinates of the window where it stands now.
    const Rect window = host_->windowRect();
    modalUp_ = true;
    const int id = host_->trackPopupMenu(BuildContextMenu(state),
                                         {window.left + pressPointX, window.top + pressPointY});
    modalUp_ = false;
    if (id != 0) OnCommand(id);
}

void ViewerWindow::OnCommand(int id) {
    switch (id) {
    case CmdInformation:
        if (desktop_) ShowInFolder(*desktop_, CurrentWithPixels(), startPage);
        break;
    case CmdFitToScreen:
        ToggleFitToScreen({pressPointX, pressPointY});
        break;
    case CmdKeepOnTop:
        ToggleTopMost();
        break;
    case CmdLockPlace:
        ToggleLockPlace();
        break;
    case CmdLockPlaceByUser:
        ToggleUserLock();
        break;
    case CmdRotateClockwise:
        RotateView(90);
        break;
    case CmdRotateCounterClockwise:
        RotateView(-90);
        break;
    case CmdSlideShow:
        if (slideShowMode != 0)
            StopSlideShow();
        else
            StartSlideShow();
        break;
    case CmdSetAsWallpaper:
        if (desktop_) SetAsWallpaper(*desktop_, CurrentWithPixels());
        break;
    case CmdExit:
        if (host_) host_->postClose();
        break;
    case CmdShowHelp:
        if (desktop_) OpenUserGuide(*desktop_);
        break;
    case CmdHomePage:
        if (desktop_) OpenHomePage(*desktop_);
        break;
    default:
        if (LockPlaceOfCommand(id) >= 0) ChooseLockPlace(LockPlaceOfCommand(id));
        break;
    }
}

void ViewerWindow::ToggleTopMost() {
    flags ^= TopMost;
    const bool onTop = (flags & TopMost) != 0;
    if (WindowExists()) host_->setTopMost(onTop);
    WriteSetting("NoneTopMost", onTop ? 0 : 1);
}

bool ViewerWindow::Paste() {
    if (!desktop_) return false;
    ClipboardBitmap bitmap;
    if (!desktop_->clipboardImage(bitmap)) return false;
    if (!source_->adopt(bitmap.description())) return false;
    ShowCurrent(); // caption "Snapshot [WxH]"
    return true;
}

} // namespace vistrel
