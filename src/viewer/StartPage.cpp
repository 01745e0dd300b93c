// The start page without a skin: the help text with the keyboard and mouse map.
#include "StartPage.h"

#include "Platform.h"
#include "ViewerWindow.h"

namespace vistrel {

void ViewerWindow::ShowStartPage() {
    startPage = true;
    // A skin background, once the start page has one, gives the size instead.
    windowWidth = StartPageWidth();
    windowHeight = StartPageHeight();
    const ScreenSize screen = screenSize();
    // Always centred: a lock place holds pictures, not the help page.
    windowX = (screen.width - windowWidth) / 2;
    windowY = (screen.height - windowHeight) / 2;
    if (!WindowExists()) return;
    if (!layered) host_->hide();
    host_->setGeometry(windowX, windowY, windowWidth, windowHeight, (flags & TopMost) != 0);
    Repaint();
    if (!host_->isVisible()) host_->show();
}

void ViewerWindow::DrawHelpText(Canvas& dc) {
    dc.rectangle({0, 0, windowWidth, windowHeight});
    dc.drawText({0, 20, windowWidth / 2 + 5, windowHeight}, kHelpLeftColumn, TextRight);
    dc.drawText({windowWidth / 2 + 10, 20, windowWidth, windowHeight}, kHelpRightColumn, TextLeft);
}

} // namespace vistrel
