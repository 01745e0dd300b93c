// Painting: the three ways a picture reaches the screen (plain drawing at natural size, the
// translucent window for pictures with real transparency, the stretch presenter for pictures
// whose size differs from the window's), and the zoomed frames.
#include "ViewerWindow.h"

#include "Resampler.h"
#include "Scaling.h"

namespace vistrel {

std::unique_ptr<StretchPresenter> CreatePresenter(WindowHost* window) {
    if (!window || !window->exists()) return nullptr;
    return std::make_unique<StretchPresenter>(*window);
}

bool Present(StretchPresenter& presenter, Picture& picture, const Rect* destination) {
    if (picture.empty()) return false;
    const uint8_t* bits = picture.lockBits();
    const bool uploaded = presenter.upload(*picture.info(), picture.colorTable(), bits);
    picture.unlockBits();
    if (!uploaded) return false;
    return destination ? presenter.blit(*destination) : true;
}

void ViewerWindow::Repaint() {
    if (!WindowExists()) return;
    if (std::unique_ptr<Canvas> dc = host_->clientCanvas()) DrawView(*dc);
}

void ViewerWindow::DrawView(Canvas& dc) {
    CachedPicture* current = PictureOnShow();
    if (!current) {
        // A skinned start page, once there is one, is composed here instead.
        SetLayered(false);
        DrawHelpText(dc);
        return;
    }
    Picture& shown = (flags & FitToScreen) && current->fitted && !current->fitted->empty()
                         ? *current->fitted
                         : *current->picture;
    if (shown.width() != windowWidth || shown.height() != windowHeight) {
        if (!presenter_) presenter_ = CreatePresenter(host_);
        if (presenter_) {
            SetLayered(false);
            const Rect client{0, 0, windowWidth, windowHeight};
            Present(*presenter_, shown, &client);
            return;
        }
    }
    if (NeedsAlphaComposition(shown)) {
        ComposeLayered(dc, shown);
    } else {
        SetLayered(false);
        shown.draw(dc, 0, 0, -1, -1, 0, 0);
    }
}

void ViewerWindow::SetLayered(bool on) {
    if (on == layered) return;
    if (host_) host_->setLayered(on);
    layered = on;
}

void ViewerWindow::ComposeLayered(Canvas& dc, Picture& picture) {
    if (picture.bitsPerPixel() != 32 || !host_) return;
    const int w = picture.width(), h = picture.height();
    Picture premultiplied(PictureStorage::Fixed);
    if (!premultiplied.create(w, h, 32, false)) return;
    const uint32_t fromRow = picture.rowSize(), toRow = premultiplied.rowSize();
    const uint8_t* from = picture.lockBits();
    uint8_t* to = premultiplied.lockBits();
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = from + std::size_t(y) * fromRow;
        uint8_t* d = to + std::size_t(y) * toRow;
        for (int x = 0; x < w; ++x, s += 4, d += 4) {
            const unsigned a = s[3];
            d[0] = uint8_t(s[0] * a / 255);
            d[1] = uint8_t(s[1] * a / 255);
            d[2] = uint8_t(s[2] * a / 255);
            d[3] = uint8_t(a);
        }
    }
    picture.unlockBits();
    if (!layered) dc.fillRect({0, 0, windowWidth, windowHeight}, kWhite);
    SetLayered(true);
    host_->updateLayered(w, h, to, toRow);
    premultiplied.unlockBits();
    if (WindowExists() && !host_->isVisible()) host_->show();
}

void ViewerWindow::ZoomTo(Picture& picture, int x, int y, int width, int height, bool fast) {
    // The window moves with the zoom so that the zoom's anchor (the centre for keys, the pressed
    // point for a drag) stays where it was.
    windowX = x;
    windowY = y;
    windowWidth = width;
    windowHeight = height;
    if (!WindowExists()) return;
    host_->setGeometry(x, y, width, height, (flags & TopMost) != 0);
    if (picture.bitsPerPixel() > 24) {
        Picture zoomed(PictureStorage::Fixed);
        if (!zoomed.create(width, height, 32, false)) return;
        uint8_t* to = zoomed.lockBits();
        uint8_t* from = picture.lockBits();
        resizePicture(to, zoomed.info(), from, picture.info(), fast ? kResizeSmooth : kResizeSharp);
        picture.unlockBits();
        zoomed.unlockBits();
        resampleAlpha(zoomed, picture);
        if (std::unique_ptr<Canvas> dc = host_->clientCanvas()) ComposeLayered(*dc, zoomed);
        return;
    }
    // Lower depths go through the presenter's own expansion; the picture itself is not changed.
    if (!presenter_) presenter_ = CreatePresenter(host_);
    if (!presenter_) return;
    SetLayered(false);
    const Rect client{0, 0, width, height};
    Present(*presenter_, picture, &client);
}

} // namespace vistrel
