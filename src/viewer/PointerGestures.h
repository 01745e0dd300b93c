// What the mouse has under way: a left drag moving the window, a right press that becomes the
// context menu, a right double click that closes the program, a sideways right drag that zooms,
// the wheel turning the picture while the right button is held. Each event comes with what it
// needs to know (the window, the cursor, the picture's size) and returns what the window is to
// do; the window does it through its host.
#pragma once

#include "Geometry.h"

#include <optional>

namespace vistrel {

// A right click opens the menu this long after its release, unless a second click made it a
// double click (which closes the program instead).
inline constexpr int kRightClickDelayMs = 200;
// The period of the right-drag zoom's steps.
inline constexpr int kRightZoomPeriodMs = 10;

class PointerGestures {
public:
    // --- presses (the window captures the mouse for each)
    // A left press that starts moving the window, which stands at `window`.
    void pressLeft(Point pointer, const Rect& window);
    // A right press: the menu opens at it, a right-drag zoom measures from it.
    void pressRight(Point pointer, const Rect& window);
    // The second press of a right double click: the release that follows closes the program.
    void doubleClickRight() { closeOnRightRelease_ = true; }
    // The wheel turned the picture while the right button was held: its release opens no menu.
    void turnedByWheel() { rightPressUsedByWheel_ = true; }
    // Where the last press was, in client coordinates of the window where it stood then.
    Point pressPoint() const { return press_.point; }

    // --- moving the window
    bool moving() const { return moving_; }
    // Where the window's top-left goes for a pointer move while it is being moved, so that the
    // pressed picture point follows the pointer; none for the move that the window's own
    // displacement caused.
    std::optional<Point> dragTo(Point pointer, const Rect& window);
    // The left release: ends the move and forgets a right double click and a zoom under way.
    // Whether the window stands elsewhere than at the last press.
    bool releaseLeft(const Rect& window);

    // --- the right button
    enum class RightRelease {
        Close,      // the release after a double click: close the program
        FinishZoom, // the end of a zoom whose last frame was a fast one: one more in quality
        EndZoom,    // the end of a zoom whose quality frame is drawn
        MenuLater,  // a click: the menu timer starts (kRightClickDelayMs)
        Nothing,    // the wheel turned the picture meanwhile
    };
    RightRelease releaseRight();
    // The menu timer ran out with the cursor at `cursor` (screen) and the window at `window`:
    // whether the menu opens (no double click came, and the cursor stayed within 8 pixels of the
    // press either way).
    bool menuOpens(Point cursor, const Rect& window) const;
    // A move with the right button held over a picture of `decoded` (its size as decoded):
    // whether a zoom starts (the window starts the zoom timer, kRightZoomPeriodMs). Only moving
    // more than 8 pixels sideways of the press starts one, and only for a picture smaller than
    // the screen.
    bool startsZoom(Point pointer, Size decoded, const Rect& screen);

    struct ZoomFrame {
        Rect to;
        bool fast;
    };
    // A tick of the zoom timer with the cursor at `cursor` over a picture of `picture` (its own,
    // turned size) in a window now of `now`'s size: the frame to draw, if any. Every step while
    // the size changes is a fast one; once the size has stood still for 30 ticks (about 300 ms),
    // one frame in quality.
    std::optional<ZoomFrame> zoomTick(Point cursor, Size picture, const Rect& screen, Size now);

private:
    // The last button press: where it was (client coordinates) and the window it was made in.
    struct Press {
        Point point;
        Rect window;
    };
    Press press_;
    bool moving_ = false;              // a left drag moves the window
    bool skipNextMove_ = false;        // the next move is the echo of the window's own move
    bool zooming_ = false;             // a sideways right drag zooms
    bool closeOnRightRelease_ = false; // the second right press of a double click came
    bool rightPressUsedByWheel_ = false;
    int zoomStillTicks_ = 0; // zoom ticks since the size last changed
};

} // namespace vistrel
