#include "Layout.h"

#include <algorithm>
#include <cstdint>

namespace vistrel {

namespace {

int scaled(int value, int numerator, int denominator) {
    return int(int64_t(value) * numerator / denominator);
}

} // namespace

Rect fitToScreen(Size picture, const Rect& screen) {
    const int sw = screen.width(), sh = screen.height();
    const int screenAspect = (sw * 1024) / sh;
    const int pictureAspect = int((int64_t(picture.width) * 1024) / picture.height);
    if (screenAspect >= pictureAspect) {
        const int width = int(((int64_t(picture.width) * 1024) * sh / picture.height) >> 10);
        return Rect::at({screen.left + ((sw - width) >> 1), screen.top}, {width, sh});
    }
    const int height = int(((int64_t(picture.height) * 1024) * sw / picture.width) >> 10);
    return Rect::at({screen.left, screen.top + ((sh - height) >> 1)}, {sw, height});
}

Rect naturalSize(Size picture, const Rect& screen) {
    return Rect::at({screen.left + std::max(0, (screen.width() - picture.width) / 2),
                     screen.top + std::max(0, (screen.height() - picture.height) / 2)},
                    picture);
}

Rect centred(Size window, const Rect& screen) {
    return Rect::at({screen.left + (screen.width() - window.width) / 2,
                     screen.top + (screen.height() - window.height) / 2},
                    window);
}

Rect keptOnScreen(const Rect& window, const Rect& screen) {
    Point at{std::max(screen.left, window.left), std::max(screen.top, window.top)};
    if (at.x + window.width() > screen.right) at.x = screen.right - window.width();
    if (at.y + window.height() > screen.bottom) at.y = screen.bottom - window.height();
    return window.movedTo(at);
}

Rect broughtOnScreen(const Rect& window, const Rect& screen) {
    const int64_t shownWidth =
        std::max(0, std::min(window.right, screen.right) - std::max(window.left, screen.left));
    const int64_t shownHeight =
        std::max(0, std::min(window.bottom, screen.bottom) - std::max(window.top, screen.top));
    const int64_t possible = int64_t(std::min(window.width(), screen.width())) *
                             std::min(window.height(), screen.height());
    if (possible <= 0 || 2 * shownWidth * shownHeight >= possible) return window;
    auto onto = [](int start, int length, int low, int high) {
        return length <= high - low ? std::clamp(start, low, high - length)
                                    : std::clamp(start, high - length, low);
    };
    return window.movedTo({onto(window.left, window.width(), screen.left, screen.right),
                           onto(window.top, window.height(), screen.top, screen.bottom)});
}

Point lockAnchorOf(const Rect& window, int place) {
    const int column = place % 3, row = place / 3;
    const Point centre = window.centre();
    return {column == 0   ? window.left
            : column == 1 ? centre.x
                          : window.right,
            row == 0   ? window.top
            : row == 1 ? centre.y
                       : window.bottom};
}

Rect placedAtLock(Size size, const LockPlace& lock) {
    const int column = lock.place % 3, row = lock.place / 3;
    const int x = column == 0   ? lock.anchor.x
                  : column == 1 ? lock.anchor.x - size.width / 2
                                : lock.anchor.x - size.width;
    const int y = row == 0   ? lock.anchor.y
                  : row == 1 ? lock.anchor.y - size.height / 2
                             : lock.anchor.y - size.height;
    return Rect::at({x, y}, size);
}

int lockPlaceFor(Point centre, const Rect& screen) {
    auto third = [](int c, int size) { return c < size / 3 ? 0 : c > (2 * size) / 3 ? 2 : 1; };
    return third(centre.x - screen.left, screen.width()) +
           3 * third(centre.y - screen.top, screen.height());
}

Rect keepingPointUnder(const Rect& window, Point anchor, Size resized) {
    if (window.width() <= 0 || window.height() <= 0) return Rect::at(window.topLeft(), resized);
    const Point onScreen{window.left + anchor.x, window.top + anchor.y};
    return Rect::at({onScreen.x - scaled(anchor.x, resized.width, window.width()),
                     onScreen.y - scaled(anchor.y, resized.height, window.height())},
                    resized);
}

Rect zoomStep(const Rect& window, Size picture, bool zoomIn, const Rect& screen) {
    const int w = picture.width, h = picture.height;
    int width, height;
    if (zoomIn) {
        width = std::min(screen.width(), window.width() + window.width() / 10);
        height = scaled(h, width, w);
        if (height > screen.height()) {
            height = screen.height();
            width = scaled(w, screen.height(), h);
        }
    } else {
        width = std::max(kMinimumZoomSide, window.width() - window.width() / 10);
        height = scaled(h, width, w);
        if (height < kMinimumZoomSide) {
            height = kMinimumZoomSide;
            width = scaled(w, kMinimumZoomSide, h);
        }
    }
    const Point centre = window.centre();
    return Rect::at({centre.x - width / 2, centre.y - height / 2}, {width, height});
}

Rect rightDragZoom(const Rect& pressed, Point point, Point cursor, Size picture,
                   const Rect& screen) {
    if (pressed.width() <= 0 || pressed.height() <= 0) return pressed;
    const int w = picture.width, h = picture.height;
    const int pressX = pressed.left + point.x;
    int width =
        std::clamp(pressed.width() + 2 * (cursor.x - pressX), kMinimumZoomSide, screen.width());
    int height = scaled(h, width, w);
    if (height > screen.height() || height < kMinimumZoomSide) {
        height = height > screen.height() ? screen.height() : kMinimumZoomSide;
        width = scaled(w, height, h);
    }
    // The pressed picture point stays where it was.
    return Rect::at({pressed.left + point.x - scaled(point.x, width, pressed.width()),
                     pressed.top + point.y - scaled(point.y, height, pressed.height())},
                    {width, height});
}

Rect movedToScreenEdge(const Rect& window, ScreenEdge edge, const Rect& screen) {
    const bool across = edge == ScreenEdge::Left || edge == ScreenEdge::Right;
    const bool toStart = edge == ScreenEdge::Left || edge == ScreenEdge::Top;
    int position = across ? window.left : window.top;
    const int length = across ? window.width() : window.height();
    const int start = across ? screen.left : screen.top;
    const int end = across ? screen.right : screen.bottom;
    const bool longer = length > end - start;
    if (toStart && (longer || position < start))
        position = start;
    else if (!toStart && (longer || position + length > end))
        position = end - length;
    return window.movedTo(across ? Point{position, window.top} : Point{window.left, position});
}

Rect turnedAboutCentre(const Rect& window) {
    const Point centre = window.centre();
    return Rect::at({centre.x - window.height() / 2, centre.y - window.width() / 2},
                    {window.height(), window.width()});
}

} // namespace vistrel
