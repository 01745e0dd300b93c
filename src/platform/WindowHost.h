// The one top-level window of the viewer, as the toolkit-neutral window asks for it: a frameless
// window at an exact geometry, painted through canvases, with timers, mouse capture and the
// translucent mode. The toolkit side maps its events onto the window's input handlers through
// one input table and decides nothing itself.
#pragma once

#include "Canvas.h"
#include "Geometry.h"
#include "MenuItem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vistrel {

// The modifier keys held while a key, a button or the pointer acts.
struct Modifiers {
    bool control = false;
    bool shift = false;
};

// One line of the information view: what is shown ("Size") and its value.
struct PropertyRow {
    std::string label;
    std::string value;
};

// The window's timers.
enum class Timer {
    RightClick, // a short right click opens the menu when it runs out
    RightZoom,  // the steps of a right-drag zoom
    SlideShow,  // the slide show's delay
    Animation,  // the frame on show has had its time (set anew for every frame)
};

class WindowHost {
public:
    virtual ~WindowHost() = default;

    // Creates the frameless top-level window at that geometry (negative positions allowed), shows
    // it and accepts dropped files. False when the window cannot be made.
    virtual bool create(const Rect& geometry, bool topMost, const char* title) = 0;
    // Makes the window ahead of `create`, not shown, while its first picture still decodes: at
    // that geometry, with an alpha channel or without, and its frame's memory ready, so that
    // `create` only shows it. `create` makes it anew where it asks for another alpha channel.
    // Hosts that gain nothing from it do nothing.
    virtual void prepare(const Rect& /*geometry*/, bool /*topMost*/, bool /*withAlpha*/) {}
    virtual bool exists() const = 0;
    // Ends the window; the event loop ends with it.
    virtual void destroy() = 0;

    virtual bool isVisible() const = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    // Brings the window to the front and gives it the keyboard.
    virtual void activate() = 0;

    // Moves and sizes the window; the z-order follows `topMost`.
    virtual void setGeometry(const Rect& geometry, bool topMost) = 0;
    // Keeps the window above others, or no longer, without moving or sizing it.
    virtual void setTopMost(bool on) = 0;
    virtual void move(Point topLeft) = 0;
    // The window's rectangle on the screen.
    virtual Rect windowRect() const = 0;
    virtual void setTitle(const char* text) = 0;

    // A canvas over the window's client area that paints at once (outside a paint event).
    virtual std::unique_ptr<Canvas> clientCanvas() = 0;

    // Translucent mode: the window shows exactly the last premultiplied picture given to
    // `presentTranslucent`, pixels of alpha 0 let the desktop (and the mouse) through, and paint
    // events no longer reach the window's own drawing. Off: ordinary opaque painting. Asked
    // before `create`, it says what the window shows first, so that an opaque window is made
    // opaque.
    virtual void setTranslucent(bool on) = 0;
    // Premultiplied blue, green, red, alpha pixels, rows top first `rowSize` bytes apart.
    virtual void presentTranslucent(int width, int height, const uint8_t* bits,
                                    uint32_t rowSize) = 0;

    // Draws a top-down surface of 0x00RRGGBB words, scaled smoothly into `destination` (client
    // coordinates). What lies outside the destination is left as it is.
    virtual void blitSurface(const uint32_t* pixels, int width, int height,
                             const Rect& destination) = 0;

    virtual void captureMouse() = 0;
    virtual void releaseMouse() = 0;
    virtual bool hasCapture() const = 0;
    // The pointer over the window: a pointing hand (over a link), or the ordinary arrow.
    virtual void setHandCursor(bool on) = 0;
    // The pointer's position on the screen.
    virtual Point cursorPosition() const = 0;
    // The modifier keys held now (as of the event being handled).
    virtual Modifiers modifiers() const = 0;

    // `onTimer(timer)` every `milliseconds` until killed; setting a running timer restarts it.
    virtual void setTimer(Timer timer, int milliseconds) = 0;
    virtual void killTimer(Timer timer) = 0;
    // Queues a close request; the window's close handler runs from the event loop.
    virtual void postClose() = 0;
    // Queues a call of the window's arrival handler (onPicturesArrived) from the event loop. Made
    // on any thread (the prefetch workers announce what they decoded through it), and never waits
    // for the event loop.
    virtual void postArrival() = 0;

    // Whether files dropped on the window reach its drop handler (off while a drag starts here).
    virtual void setAcceptDrops(bool on) = 0;
    // Shows the items as a popup menu at `screenPoint` and waits for a choice: the chosen item's
    // command, or -1 when the menu was dismissed. Timers and posted requests still run meanwhile.
    virtual int execPopupMenu(const std::vector<MenuItem>& items, Point screenPoint) = 0;
    // The width in pixels that a menu item's check mark or image gets.
    virtual int menuCheckMarkWidth() const = 0;
    // Runs the modal slide show dialog over the window, showing the delay in seconds and the loop
    // option given. On "Start" they are replaced by the accepted values (the delay clamped to
    // 1..15) and the result is true; false when the dialog was cancelled.
    virtual bool runSlideShowDialog(int& delaySeconds, bool& loop) = 0;
    // Shows the rows of the information view in a modal window titled `title` until the user
    // closes it.
    virtual void showProperties(const char* title, const std::vector<PropertyRow>& rows) {}
};

} // namespace vistrel
