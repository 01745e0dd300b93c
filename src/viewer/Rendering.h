// How a picture reaches the window: drawn at natural size, as a translucent frame for a 32-bit
// picture with real transparency (premultiplied, shaping the window), or stretched by the
// presenter when its size differs from the window's; and the frames of a zoom.
#pragma once

#include "Canvas.h"
#include "Geometry.h"
#include "Picture.h"
#include "StretchPresenter.h"
#include "WindowHost.h"

#include <memory>

namespace vistrel {

class Renderer {
public:
    // From now on frames go to `host`; `translucentWindows` says whether the desktop can show a
    // picture through its alpha.
    void attach(WindowHost& host, bool translucentWindows);

    // Whether the picture is drawn as a translucent frame.
    bool needsTranslucency(Picture& picture) const;
    bool translucent() const { return translucent_; }
    void setTranslucent(bool on);
    // Whether the desktop blends translucent frames over what lies behind the window. Without,
    // a translucent frame's partly transparent pixels are blended over the viewer's backdrop
    // gray and made opaque; fully transparent ones still shape the window. Takes effect with the
    // next frame.
    void setComposited(bool on) { composited_ = on; }

    // Whether `shown` is drawn as a translucent frame into a window of `window`'s size: a
    // picture of another size is stretched, which is always opaque.
    bool drawsTranslucent(Picture& shown, Size window) const;
    // Whether a shaped picture (the skin's start page) is drawn as a translucent frame.
    bool drawsShapedTranslucent() const { return translucentWindows_; }
    // Draws `shown` into a window of `window`'s size.
    void draw(Canvas& canvas, Picture& shown, Size window);
    // Draws a 32-bit picture of the window's size through its alpha wherever the desktop has
    // translucent windows, whatever its alpha holds (the start page's skin: the background's
    // transparency shapes the window); opaque elsewhere.
    void drawShaped(Canvas& canvas, Picture& picture, Size window);
    // Draws `shown` on a black window of `screen`'s size: at its own size and centred when it
    // fits, else stretched to fit; translucent pixels over the black.
    void drawFullScreen(Canvas& canvas, Picture& shown, Size screen);
    // Renders the picture at `size`, the window's new size: resampled into a translucent frame
    // for a picture with real transparency (fast: triangle filter, else Lanczos-3), stretched by
    // the presenter otherwise (the picture itself is not changed).
    void drawZoomed(Picture& picture, Size size, bool fast);

private:
    void composeTranslucent(Canvas& canvas, Picture& picture, Size window);
    // Draws the picture stretched into the whole client area, or into `where`, through the
    // presenter.
    void present(Picture& picture, Size window);
    void present(Picture& picture, const Rect& where);

    WindowHost* host_ = nullptr;
    bool translucentWindows_ = true;
    bool translucent_ = false;
    bool composited_ = true;
    std::unique_ptr<StretchPresenter> presenter_;
};

} // namespace vistrel
