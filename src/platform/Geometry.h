// Integer geometry in pixels of the screen, as the window's rules count it.
#pragma once

namespace vistrel {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static Rect at(Point topLeft, Size size) {
        return {topLeft.x, topLeft.y, topLeft.x + size.width, topLeft.y + size.height};
    }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    Size size() const { return {width(), height()}; }
    Point topLeft() const { return {left, top}; }
    // Divisions truncate toward zero, as every rule of the window counts.
    Point centre() const { return {left + width() / 2, top + height() / 2}; }
    Rect movedTo(Point topLeft) const { return at(topLeft, size()); }
    bool contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace vistrel
