#include "Rendering.h"

#include "Resampler.h"
#include "Scaling.h"

namespace vistrel {

void Renderer::attach(WindowHost& host, bool translucentWindows) {
    host_ = &host;
    translucentWindows_ = translucentWindows;
}

bool Renderer::needsTranslucency(Picture& picture) const {
    return translucentWindows_ && hasRealTransparency(picture);
}

void Renderer::setTranslucent(bool on) {
    if (on == translucent_) return;
    if (host_) host_->setTranslucent(on);
    translucent_ = on;
}

bool Renderer::drawsTranslucent(Picture& shown, Size window) const {
    return shown.width() == window.width && shown.height() == window.height &&
           needsTranslucency(shown);
}

void Renderer::draw(Canvas& dc, Picture& shown, Size window) {
    if (shown.width() != window.width || shown.height() != window.height) {
        present(shown, window);
    } else if (needsTranslucency(shown)) {
        composeTranslucent(dc, shown, window);
    } else {
        setTranslucent(false);
        shown.draw(dc, 0, 0, -1, -1, 0, 0);
    }
}

void Renderer::drawShaped(Canvas& dc, Picture& picture, Size window) {
    if (translucentWindows_) {
        composeTranslucent(dc, picture, window);
    } else {
        setTranslucent(false);
        picture.draw(dc, 0, 0, -1, -1, 0, 0);
    }
}

void Renderer::present(Picture& picture, Size window) {
    if (!host_ || !host_->exists() || picture.empty()) return;
    if (!presenter_) presenter_ = std::make_unique<StretchPresenter>(*host_);
    setTranslucent(false);
    const uint8_t* bits = picture.lockBits();
    const bool uploaded = presenter_->upload(*picture.info(), picture.colorTable(), bits);
    picture.unlockBits();
    if (uploaded) presenter_->blit({0, 0, window.width, window.height});
}

void Renderer::composeTranslucent(Canvas& dc, Picture& picture, Size window) {
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
    if (!translucent_) dc.fillRect({0, 0, window.width, window.height}, kWhite);
    setTranslucent(true);
    host_->presentTranslucent(w, h, to, toRow);
    premultiplied.unlockBits();
    if (host_->exists() && !host_->isVisible()) host_->show();
}

void Renderer::drawZoomed(Picture& picture, Size size, bool fast) {
    if (!host_ || !host_->exists()) return;
    // The same alpha test as the first frame: a 32-bit picture whose fourth byte carries no
    // transparency (0 everywhere, as many writers pad their pixels) is drawn opaque here too.
    if (needsTranslucency(picture)) {
        Picture zoomed(PictureStorage::Fixed);
        if (!zoomed.create(size.width, size.height, 32, false)) return;
        uint8_t* to = zoomed.lockBits();
        uint8_t* from = picture.lockBits();
        resizePicture(to, zoomed.info(), from, picture.info(),
                      fast ? ResizeFilter::Triangle : ResizeFilter::Lanczos3);
        picture.unlockBits();
        zoomed.unlockBits();
        resampleAlpha(zoomed, picture);
        if (std::unique_ptr<Canvas> dc = host_->clientCanvas())
            composeTranslucent(*dc, zoomed, size);
        return;
    }
    // Everything else is stretched by the presenter, which drops the fourth byte.
    present(picture, size);
}

} // namespace vistrel
