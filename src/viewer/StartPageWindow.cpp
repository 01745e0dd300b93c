// The window's side of the start page: showing it, the pointer leaving it, and what its buttons
// do when clicked.
#include "ViewerWindow.h"

namespace vistrel {

void ViewerWindow::showStartPage() {
    startPage_ = true;
    startPageView_.reset();
    // Always centred: a lock place holds pictures, not the start page.
    window_ = centred(startPageView_.size(), screen());
    if (!windowExists()) return;
    if (!renderer_.translucent()) host_->hide();
    host_->setGeometry(window_, topMost_);
    repaint();
    if (!host_->isVisible()) host_->show();
}

void ViewerWindow::onPointerLeave() {
    if (startPage_) startPageView_.pointerLeft(window_.size());
}

void ViewerWindow::clickStartButton(StartButton button) {
    switch (button) {
    case StartButton::Close:
        if (host_) host_->postClose();
        break;
    case StartButton::Help:
        onCommand(MenuCommand::ShowHelp);
        break;
    case StartButton::Link:
        onCommand(MenuCommand::OpenHomePage);
        break;
    }
}

} // namespace vistrel
