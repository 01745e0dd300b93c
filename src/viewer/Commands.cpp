// The context menu and the commands behind it, and the paste of the clipboard's picture.
#include "ContextMenu.h"
#include "Desktop.h"
#include "DesktopCommands.h"
#include "Platform.h"
#include "ViewerWindow.h"

namespace vistrel {

void ViewerWindow::showContextMenu() {
    if (!windowExists() || modalUp_) return;
    // Built afresh from the state at this moment; nothing of an earlier menu is kept.
    CachedPicture* current = currentWithPixels();
    ContextMenuState state;
    state.hasPicture = current != nullptr;
    state.startPage = startPage_;
    state.topMost = topMost_;
    state.fitToScreen = fitToScreen_;
    state.lockPlace = lock_.place;
    state.userLock = lock_.byUser;
    state.caption = caption_;
    state.hasFilePath = current && !current->path.empty();
    state.slideShowRunning = slideShow_ != SlideShow::Off;
    state.folderCount = pictures_.folderCount();
    state.checkMarkWidth = host_->menuCheckMarkWidth();
    // At the last right press, in client coordinates of the window where it stands now.
    const Rect window = host_->windowRect();
    modalUp_ = true;
    const int chosen = host_->execPopupMenu(
        BuildContextMenu(state), {window.left + press_.point.x, window.top + press_.point.y});
    modalUp_ = false;
    if (chosen >= 0) onCommand(MenuCommand(chosen));
}

void ViewerWindow::onCommand(MenuCommand command) {
    switch (command) {
    case MenuCommand::Information:
        if (desktop_) ShowInFolder(*desktop_, currentWithPixels(), startPage_);
        break;
    case MenuCommand::FitToScreen:
        toggleFitToScreen(press_.point);
        break;
    case MenuCommand::KeepOnTop:
        toggleTopMost();
        break;
    case MenuCommand::LockPlace:
        toggleLockPlace();
        break;
    case MenuCommand::LockPlaceByUser:
        toggleUserLock();
        break;
    case MenuCommand::RotateClockwise:
        rotateView(90);
        break;
    case MenuCommand::RotateCounterClockwise:
        rotateView(-90);
        break;
    case MenuCommand::SlideShow:
        if (slideShow_ != SlideShow::Off)
            stopSlideShow();
        else
            startSlideShow();
        break;
    case MenuCommand::SetAsWallpaper:
        if (desktop_)
            SetAsWallpaper(*desktop_, fullCurrent(),
                           platform().capabilities().wallpaperFromAnyFile);
        break;
    case MenuCommand::Exit:
        if (host_) host_->postClose();
        break;
    case MenuCommand::ShowHelp:
        if (desktop_) OpenUserGuide(*desktop_);
        break;
    case MenuCommand::OpenHomePage:
        if (desktop_) OpenHomePage(*desktop_);
        break;
    default:
        chooseLockPlace(LockPlaceOfCommand(command));
        break;
    }
}

bool ViewerWindow::paste() {
    if (!desktop_) return false;
    ClipboardBitmap bitmap;
    if (!desktop_->clipboardImage(bitmap)) return false;
    if (!pictures_.adopt(bitmap.description())) return false;
    showCurrent(true); // caption "Snapshot [WxH]"
    return true;
}

} // namespace vistrel
