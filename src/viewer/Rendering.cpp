#include "Rendering.h"

#include "Layout.h"
#include "Premultiply.h"
#include "Resampler.h"
#include "Scaling.h"
#include "SystemDecoder.h"

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

void Renderer::draw(Canvas& canvas, Picture& shown, Size window) {
    if (shown.width() != window.width || shown.height() != window.height) {
        present(shown, window);
    } else if (needsTranslucency(shown)) {
        composeTranslucent(canvas, shown, window);
    } else {
        setTranslucent(false);
        shown.draw(canvas, 0, 0, -1, -1, 0, 0);
    }
}

void Renderer::drawShaped(Canvas& canvas, Picture& picture, Size window) {
    if (translucentWindows_) {
        composeTranslucent(canvas, picture, window);
    } else {
        setTranslucent(false);
        picture.draw(canvas, 0, 0, -1, -1, 0, 0);
    }
}

void Renderer::drawFullScreen(Canvas& canvas, Picture& shown, Size screen) {
    setTranslucent(false);
    canvas.fillRect({0, 0, screen.width, screen.height}, kBlack);
    const Size size{shown.width(), shown.height()};
    const Rect whole{0, 0, screen.width, screen.height};
    const Rect where =
        largerThan(size, whole) ? fitToScreen(size, whole) : naturalSize(size, whole);
    if (where.size() != size) {
        present(shown, where);
        return;
    }
    if (!hasRealTransparency(shown)) {
        shown.draw(canvas, where.left, where.top, -1, -1, 0, 0);
        return;
    }
    // Over black, a premultiplied pixel is the colour shown.
    Picture over;
    if (!over.create(size.width, size.height, 32, false)) return;
    for (int y = 0; y < size.height; ++y)
        premultiplyRow(shown.pixels() + std::size_t(y) * shown.rowSize(),
                       over.pixels() + std::size_t(y) * over.rowSize(), size.width,
                       AlphaShown::OverBlack, 0);
    over.draw(canvas, where.left, where.top, -1, -1, 0, 0);
}

void Renderer::present(Picture& picture, Size window) {
    present(picture, Rect{0, 0, window.width, window.height});
}

void Renderer::present(Picture& picture, const Rect& where) {
    if (!host_ || !host_->exists() || picture.empty()) return;
    if (!presenter_) presenter_ = std::make_unique<StretchPresenter>(*host_);
    setTranslucent(false);
    if (presenter_->upload(*picture.info(), picture.colorTable(), picture.pixels()))
        presenter_->blit(where);
}

void Renderer::composeTranslucent(Canvas& canvas, Picture& picture, Size window) {
    if (picture.bitsPerPixel() != 32 || !host_) return;
    const int w = picture.width(), h = picture.height();
    Picture premultiplied;
    if (!premultiplied.create(w, h, 32, false)) return;
    const uint32_t fromRow = picture.rowSize(), toRow = premultiplied.rowSize();
    const uint8_t* from = picture.pixels();
    uint8_t* to = premultiplied.pixels();
    // Where nothing composites the window, its pixels show as they are, over nothing: a partly
    // transparent one is blended over the backdrop here and shown opaque.
    const AlphaShown shown = composited_ ? AlphaShown::Premultiplied : AlphaShown::OverBackdrop;
    for (int y = 0; y < h; ++y)
        premultiplyRow(from + std::size_t(y) * fromRow, to + std::size_t(y) * toRow, w, shown,
                       kTransparentBackdrop);
    if (!translucent_) canvas.fillRect({0, 0, window.width, window.height}, kWhite);
    setTranslucent(true);
    host_->presentTranslucent(w, h, to, toRow);
    if (host_->exists() && !host_->isVisible()) host_->show();
}

void Renderer::drawZoomed(Picture& picture, Size size, bool fast) {
    if (!host_ || !host_->exists()) return;
    // The same alpha test as the first frame: a 32-bit picture whose fourth byte carries no
    // transparency (0 everywhere, as many writers pad their pixels) is drawn opaque here too.
    if (needsTranslucency(picture)) {
        Picture zoomed;
        if (!zoomed.create(size.width, size.height, 32, false)) return;
        resizePicture(zoomed.pixels(), zoomed.info(), picture.pixels(), picture.info(),
                      fast ? ResizeFilter::Triangle : ResizeFilter::Lanczos3);
        resampleAlpha(zoomed, picture);
        if (std::unique_ptr<Canvas> canvas = host_->clientCanvas())
            composeTranslucent(*canvas, zoomed, size);
        return;
    }
    // Everything else is stretched by the presenter, which drops the fourth byte.
    present(picture, size);
}

} // namespace vistrel
