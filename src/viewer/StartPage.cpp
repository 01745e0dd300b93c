// The start page without a skin: the help text with the keyboard and mouse map.
#include "StartPage.h"

#include "Platform.h"
#include "ViewerWindow.h"

#include <algorithm>

namespace vistrel {

Size ViewerWindow::startPageSize() {
    // Measured once, on first use: a window that opens on a picture need not load a font before
    // its first frame.
    if (startPageSize_.width == 0) {
        const TextExtent line = platform().textExtent(kStartPageMeasureLine);
        startPageSize_ = {std::max(300, line.width), std::max(300, 15 * line.height + 100)};
    }
    return startPageSize_;
}

void ViewerWindow::showStartPage() {
    startPage_ = true;
    // Always centred: a lock place holds pictures, not the help page.
    window_ = centred(startPageSize(), screen());
    if (!windowExists()) return;
    if (!renderer_.translucent()) host_->hide();
    host_->setGeometry(window_, topMost_);
    repaint();
    if (!host_->isVisible()) host_->show();
}

void ViewerWindow::drawStartPage(Canvas& dc) {
    const int w = window_.width(), h = window_.height();
    dc.rectangle({0, 0, w, h});
    dc.drawText({0, 20, w / 2 + 5, h}, kHelpLeftColumn, TextRight);
    dc.drawText({w / 2 + 10, 20, w, h}, kHelpRightColumn, TextLeft);
}

} // namespace vistrel
