#include "PointerGestures.h"

#include "Layout.h"

#include <cstdlib>

namespace vistrel {

namespace {

// A right click whose cursor moved this many pixels or more, in either direction, by the time
// the menu would open is no click.
constexpr int kRightClickSlop = 8;
// A right drag starts zooming once the cursor is more than this many pixels sideways of the press.
constexpr int kRightZoomSlop = 8;
// Ticks of a still right-drag zoom (about 300 ms) after which the frame is drawn in quality.
constexpr int kZoomQualityTicks = 30;

} // namespace

void PointerGestures::pressLeft(Point pointer, const Rect& window) {
    moving_ = true;
    press_ = {pointer, window};
}

void PointerGestures::pressRight(Point pointer, const Rect& window) {
    press_ = {pointer, window};
    rightPressUsedByWheel_ = false;
}

std::optional<Point> PointerGestures::dragTo(Point pointer, const Rect& window) {
    if (skipNextMove_) {
        skipNextMove_ = false;
        return std::nullopt;
    }
    skipNextMove_ = true;
    return Point{window.left + pointer.x - press_.point.x, window.top + pointer.y - press_.point.y};
}

bool PointerGestures::releaseLeft(const Rect& window) {
    moving_ = skipNextMove_ = zooming_ = closeOnRightRelease_ = false;
    return press_.window.topLeft() != window.topLeft();
}

PointerGestures::RightRelease PointerGestures::releaseRight() {
    if (closeOnRightRelease_) return RightRelease::Close;
    if (zooming_) {
        zooming_ = false;
        // The last frame was a fast one unless the quality frame of a still zoom followed it.
        return zoomStillTicks_ <= kZoomQualityTicks ? RightRelease::FinishZoom
                                                    : RightRelease::EndZoom;
    }
    return rightPressUsedByWheel_ ? RightRelease::Nothing : RightRelease::MenuLater;
}

bool PointerGestures::menuOpens(Point cursor, const Rect& window) const {
    if (closeOnRightRelease_) return false;
    const int dx = cursor.x - window.left - press_.point.x;
    const int dy = cursor.y - window.top - press_.point.y;
    return std::abs(dx) < kRightClickSlop && std::abs(dy) < kRightClickSlop;
}

bool PointerGestures::startsZoom(Point pointer, Size decoded, const Rect& screen) {
    if (zooming_ || std::abs(pointer.x - press_.point.x) <= kRightZoomSlop ||
        decoded.width >= screen.width() || decoded.height >= screen.height())
        return false;
    zooming_ = true;
    zoomStillTicks_ = 0;
    return true;
}

std::optional<PointerGestures::ZoomFrame> PointerGestures::zoomTick(Point cursor, Size picture,
                                                                    const Rect& screen, Size now) {
    if (largerThan(picture, screen) || press_.window.width() <= 0 || press_.window.height() <= 0)
        return std::nullopt;
    const Rect zoomed = rightDragZoom(press_.window, press_.point, cursor, picture, screen);
    if (zoomed.size() == now) {
        // Still: after 30 such ticks, one frame in quality; nothing otherwise.
        if (zoomStillTicks_++ != kZoomQualityTicks) return std::nullopt;
        return ZoomFrame{zoomed, false};
    }
    // Every step while the size changes is a fast one, also after a quality frame.
    zoomStillTicks_ = 0;
    return ZoomFrame{zoomed, true};
}

} // namespace vistrel
