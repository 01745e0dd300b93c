// The context menu and the commands behind it.
#include "ContextMenu.h"
#include "DesktopCommands.h"
#include "Platform.h"
#include "Properties.h"
#include "ViewerWindow.h"

namespace vistrel {

void ViewerWindow::showContextMenu() {
    if (!host_ || modalUp_) return;
    // Built afresh from the state at this moment; nothing of an earlier menu is kept.
    CachedPicture* current = pictures_.current();
    ContextMenuState state;
    state.hasPicture = current != nullptr;
    state.startPage = startPage_;
    state.topMost = placement_.topMost();
    state.fitToScreen = placement_.fitToScreen();
    state.lockPlace = placement_.lock().place;
    state.userLock = placement_.lock().byUser;
    state.caption = caption_;
    state.hasFilePath = current && !current->path.empty();
    state.slideShowRunning = slideShow_ != SlideShow::Off;
    state.folderCount = pictures_.folderCount();
    state.checkMarkWidth = host_->menuCheckMarkWidth();
    // At the last right press, in client coordinates of the window where it stands now.
    const Rect window = host_->windowRect();
    const Point press = gestures_.pressPoint();
    modalUp_ = true;
    const int chosen = host_->execPopupMenu(BuildContextMenu(state),
                                            {window.left + press.x, window.top + press.y});
    modalUp_ = false;
    if (chosen >= 0) onCommand(MenuCommand(chosen));
}

void ViewerWindow::onCommand(MenuCommand command) {
    const Rect screen = platform().primaryScreen();
    switch (command) {
    case MenuCommand::Information:
        if (desktop_) ShowInFolder(*desktop_, pictures_.current(), startPage_);
        break;
    case MenuCommand::FitToScreen:
        toggleFitToScreen(gestures_.pressPoint());
        break;
    case MenuCommand::KeepOnTop:
        perform(Action::ToggleKeepOnTop);
        break;
    case MenuCommand::LockPlace:
        placement_.toggleLockPlace(screen);
        break;
    case MenuCommand::LockPlaceByUser:
        placement_.toggleUserLock(screen);
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
    case MenuCommand::SetAsWallpaper: {
        if (!desktop_) break;
        const bool anyFile = platform().capabilities().wallpaperFromAnyFile;
        CachedPicture* current = pictures_.current();
        // A file the desktop reads is handed over as it is; a picture written out for it needs
        // its full decode.
        if (current && WallpaperWritesPicture(*current, anyFile))
            current = atFullResolution(current);
        SetAsWallpaper(*desktop_, current, anyFile);
        break;
    }
    case MenuCommand::Exit:
        if (host_) host_->postClose();
        break;
    case MenuCommand::ShowHelp:
        if (desktop_) OpenUserGuide(*desktop_);
        break;
    case MenuCommand::OpenHomePage:
        if (desktop_) OpenHomePage(*desktop_);
        break;
    case MenuCommand::OpenWith:
        if (desktop_) OpenWith(*desktop_, pictures_.current());
        break;
    case MenuCommand::Properties:
        if (const CachedPicture* current = pictures_.current(); current && host_ && !modalUp_) {
            modalUp_ = true;
            host_->showProperties(PropertiesTitle(*current).c_str(), PropertiesOf(*current));
            modalUp_ = false;
        }
        break;
    default:
        placement_.chooseLockPlace(LockPlaceOfCommand(command), screen);
        break;
    }
}

} // namespace vistrel
