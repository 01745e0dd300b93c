// Where the window stands and how large it is, as pure arithmetic over rectangles and the screen:
// fit to screen, the lock places, zoom steps, the right-drag zoom and the screen edges. Divisions
// truncate toward zero; products that could pass 32 bits are taken in 64.
#pragma once

#include "Geometry.h"

namespace vistrel {

// The smallest window a zoom makes, on either side.
inline constexpr int kMinimumZoomSide = 32;

// A lock place: one of nine points of the window (its corners, edge centres and centre), held
// at a screen point from picture to picture.
struct LockPlace {
    // -1: not locked; else column + 3 * row of the window point held, columns left, centre,
    // right and rows top, middle, bottom.
    int place = -1;
    Point anchor;        // the screen point the window point is held at
    bool byUser = false; // the place was chosen by hand, not from where the window stood
    bool locked() const { return place >= 0 && place <= 8; }
};

// A picture of `picture` reduced to the screen, keeping its aspect (the aspects compare in
// 10-bit fixed point), centred across the axis it does not fill.
Rect fitToScreen(Size picture, const Rect& screen);
// A window of the picture's own size, centred; one larger than the screen starts at the screen's
// top-left and runs off to the right and bottom.
Rect naturalSize(Size picture, const Rect& screen);
// Centred on the screen, whatever its size.
Rect centred(Size window, const Rect& screen);
// A window larger than the screen pushed back so that it ends at the screen's right or bottom
// edge; one that fits is moved inside the screen.
Rect keptOnScreen(const Rect& window, const Rect& screen);

// A window that would stand mostly off the screen (less than half of what of it could show on the
// screen does) moved back onto it by the least distance: inside the screen along an axis where it
// fits, covering the screen where it is larger. Any other window stays where it is.
Rect broughtOnScreen(const Rect& window, const Rect& screen);

// The screen point of the lock's window point for a window at `window`.
Point lockAnchorOf(const Rect& window, int place);
// The window of `size` placed so that its lock point lies on the lock's anchor.
Rect placedAtLock(Size size, const LockPlace& lock);
// The place a window whose centre is `centre` locks to: the third of the screen it lies in,
// across and down.
int lockPlaceFor(Point centre, const Rect& screen);

// A window of `resized` placed so that the picture point under `anchor` (client coordinates of
// `window`) stays at the same screen point.
Rect keepingPointUnder(const Rect& window, Point anchor, Size resized);

// The window after one zoom step by key (a tenth of its width, keeping the picture's aspect)
// around its centre: at most as large as the screen, at least 32 pixels a side.
Rect zoomStep(const Rect& window, Size picture, bool zoomIn, const Rect& screen);

// The window of a right-drag zoom: it grows twice as fast as the cursor moves sideways from the
// pressed point, on both sides of it, keeping the picture's aspect, between 32 pixels and the
// screen. `pressed` is the window at the press and `point` the pressed point in it.
Rect rightDragZoom(const Rect& pressed, Point point, Point cursor, Size picture,
                   const Rect& screen);

enum class ScreenEdge { Left, Right, Top, Bottom };
// Brings the window's edge onto the screen's same edge when the window is larger than the screen
// along that axis or hangs over that edge; the window otherwise stays.
Rect movedToScreenEdge(const Rect& window, ScreenEdge edge, const Rect& screen);

// The window after a quarter turn of the picture: the same centre, width and height swapped.
Rect turnedAboutCentre(const Rect& window);

// Whether a picture is wider or taller than the screen.
inline bool largerThan(Size picture, const Rect& screen) {
    return picture.width > screen.width() || picture.height > screen.height();
}

} // namespace vistrel
